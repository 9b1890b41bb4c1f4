# make                 builds the player's package in dist/ and plays the default ride
# make test            every suite, and every command below in a short form (CI runs this)
# make ride RIDE=path  plays a ride script of your own (see tools/ride/default.ride)
# make bench           cost per frame against the floor: Linux build, then the shipped DLL
#                      (QUICK=1: a short run that checks it works; times are not judged)
# make fuzz            a long fuzzing run (FUZZ_SECONDS per target, default 300)
# make property        a long run of the property test (PROPERTY_SEEDS, default 20000)
# make lint            clang-format check and clang-tidy
# make install GAME_DIR=path    puts the plugin in a game's folder, keeping its Quillmere.ini
# make uninstall GAME_DIR=path  takes it out again, keeping a changed Quillmere.ini
# All of them install the Debian packages they need first (apt-get, as root).

SHELL := /bin/bash
BUILDS := linux-gcc linux-clang linux-asan linux-tsan windows windows-debug
RIDE ?=
FUZZ_SECONDS ?= 300
PROPERTY_SEEDS ?= 20000
QUICK ?=
GAME_DIR ?=

.PHONY: all dist ride test lint bench fuzz property install uninstall packages clean

all: dist ride

packages:
	@tools/install-packages.sh

dist: packages
	@cmake --preset windows --log-level=WARNING >/dev/null
	@cmake --build --preset windows

ride: dist
	@tools/ride/play.sh "$(RIDE)"

# Builds every preset, then runs every suite: the documented commands in a
# short form, and each preset's tests. Prints a line per suite and one sum.
test: packages
	@tools/run-tests.sh $(BUILDS)

lint: packages
	@for build in linux-clang linux-asan windows; do \
	  cmake --preset $$build --log-level=WARNING >/dev/null || exit 1; \
	done
	@tools/lint.sh

# The Linux build per situation (times and instructions), then the shipped
# DLL under Wine (the common frame against its floor).
bench: dist
	@cmake --preset linux-gcc --log-level=WARNING >/dev/null
	@cmake --build --preset linux-gcc --target frame_bench
	@build/linux-gcc/bench/linux/frame_bench $(if $(QUICK),--quick)
	@cmake --build --preset windows --target shipped_dll_bench
	@tools/wine/run.sh $(CURDIR)/build/windows/wineprefix build/windows/bin/shipped_dll_bench.exe \
	  Z:$(CURDIR)/dist/Quillmere.asi $(if $(QUICK),--quick)

# The same CTest entries that make test runs for 5 s each, run for longer
# with a fresh seed; corpora and crash artifacts stay in build/linux-asan.
fuzz: packages
	@cmake --preset linux-asan --log-level=WARNING >/dev/null
	@cmake --build --preset linux-asan --target ini_reader_fuzzer settings_fuzzer
	@FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_SEED=0 ctest --preset linux-asan -L fuzz --verbose

property: packages
	@cmake --preset linux-gcc --log-level=WARNING >/dev/null
	@cmake --build --preset linux-gcc --target property_tests
	@QUILLMERE_PROPERTY_SEEDS=$(PROPERTY_SEEDS) build/linux-gcc/tests/property/property_tests

install: dist
	@tools/game-folder.sh install "$(GAME_DIR)" dist

uninstall: dist
	@tools/game-folder.sh uninstall "$(GAME_DIR)" dist

clean:
	rm -rf build dist
