# make                 builds the player's package in dist/ and plays the default ride
# make test            lint, then builds everything and runs every test (CI runs this)
# make ride RIDE=path  plays a ride script of your own (see tools/ride/default.ride)
# make bench           cost per frame against the floor: native build, then the shipped DLL
# make fuzz            a long fuzzing run (FUZZ_SECONDS per target, default 300)
# make property        a long run of the property test (PROPERTY_SEEDS, default 20000)
# make lint            clang-format check and clang-tidy
# All of them install the Debian packages they need first (apt-get, as root).

SHELL := /bin/bash
BUILDS := native-gcc native-clang native-asan native-tsan windows
RIDE ?=
FUZZ_SECONDS ?= 300
PROPERTY_SEEDS ?= 20000
FORMATTED := $(shell find host input neon standins tests bench tools -name '*.cpp' -o -name '*.h')
TIDIED := host/entry.cpp $(wildcard input/*.cpp neon/*.cpp standins/native/*.cpp standins/world/*.cpp) bench/frame_bench.cpp bench/bench_host.cpp

.PHONY: all dist ride test lint bench fuzz property packages clean

all: dist ride

packages:
	@tools/install-packages.sh

dist: packages
	@cmake --preset windows --log-level=WARNING >/dev/null
	@cmake --build --preset windows

ride: dist
	@tools/ride/play.sh $(RIDE)

# Builds print only what goes wrong, not ninja's progress lines.
test: packages lint
	@set -e -o pipefail; for build in $(BUILDS) windows-debug; do \
	  echo "== building $$build"; \
	  cmake --preset $$build --log-level=WARNING >/dev/null; \
	  cmake --build --preset $$build | { grep -Ev '^\[[0-9]+/[0-9]+\] |^ninja: no work to do' || true; }; \
	done
	@tools/run-tests.sh $(BUILDS)

lint: packages
	@cmake --preset native-clang --log-level=WARNING >/dev/null
	@clang-format --dry-run -Werror $(FORMATTED)
	@out=$$(clang-tidy -p build/native-clang --quiet $(TIDIED) 2>&1); status=$$?; \
	  echo "$$out" | grep -v 'warnings generated' || true; exit $$status
	@echo "lint: format and clang-tidy clean"

# The native build per situation (times and instructions), then the shipped
# DLL under Wine (the common frame against its floor).
bench: dist
	@cmake --preset native-gcc --log-level=WARNING >/dev/null
	@cmake --build --preset native-gcc --target frame_bench
	@build/native-gcc/bench/frame_bench
	@cmake --build --preset windows --target shipped_dll_bench
	@tools/wine/run.sh $(CURDIR)/build/windows/wineprefix build/windows/bin/shipped_dll_bench.exe \
	  Z:$(CURDIR)/dist/Quillmere.asi

# The same CTest entries that make test runs for 5 s each, run for longer
# with a fresh seed; corpora and crash artifacts stay in build/native-asan.
fuzz: packages
	@cmake --preset native-asan --log-level=WARNING >/dev/null
	@cmake --build --preset native-asan --target profile_fuzzer settings_fuzzer
	@FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_SEED=0 ctest --preset native-asan -L fuzz --verbose

property: packages
	@cmake --preset native-gcc --log-level=WARNING >/dev/null
	@cmake --build --preset native-gcc --target property_tests
	@QUILLMERE_PROPERTY_SEEDS=$(PROPERTY_SEEDS) build/native-gcc/tests/property/property_tests

clean:
	rm -rf build dist
