# make                 builds the player's package and plays the default ride
# make check           the quick loop after a change to the plugin: unit and property
#                      tests, the frame's cost, the shipped DLL under Wine, the default ride
# make test            every suite, and every command below in a short form (CI runs this)
# make ride RIDE=path  plays a ride script of your own (see tools/ride/default.ride)
# make docs            remakes the default ride's picture and trace excerpt in docs/
# make bench           cost per frame against the floor: Linux build, then the shipped DLL;
#                      then install's cost in a game folder's size
#                      (QUICK=1: a short run that checks it works; times are not judged)
# make fuzz            a long fuzzing run (FUZZ_SECONDS per target, default 300)
# make property        a long run of the property test (PROPERTY_SEEDS, default 20000)
# make lint            clang-format, clang-tidy and shellcheck
# make install GAME_DIR=path    puts the plugin in a game's folder, keeping its Quillmere.ini
# make uninstall GAME_DIR=path  takes it out again, keeping a changed Quillmere.ini
# Each installs the Debian packages it needs first (apt-get, as root), and no
# more; install and uninstall need CMake, Ninja and MinGW-w64 alone, and run
# only cmake, so they work wherever those do.

SHELL := /bin/sh
RIDE ?=
FUZZ_SECONDS ?= 300
PROPERTY_SEEDS ?= 20000
QUICK ?=
GAME_DIR ?=

# What a user gives reaches the tools as it was typed, through the
# environment: never expanded by make, never pasted into a shell line, so a
# quote, a $ or a backtick in a folder's name is only a character of it.
# Each number goes only to the command that takes it (and what it runs
# first), so make test's own short runs keep their own lengths.
USER_VARIABLES := RIDE FUZZ_SECONDS PROPERTY_SEEDS QUICK GAME_DIR
$(foreach name,$(USER_VARIABLES),$(eval override $(name) := $$(value $(name))))
export RIDE GAME_DIR
fuzz: export FUZZ_SECONDS := $(FUZZ_SECONDS)
property: export PROPERTY_SEEDS := $(PROPERTY_SEEDS)
bench: export QUICK := $(QUICK)

# The Debian packages a command needs (none where there is no apt-get, or
# no bash to run the script that asks it).
PACKAGES = if command -v apt-get >/dev/null 2>&1 && command -v bash >/dev/null 2>&1; then \
	  bash tools/install-packages.sh $(1); fi

.PHONY: all dist ride docs check test lint bench fuzz property install uninstall package stage clean \
	fuzz-seconds property-seeds quick

all: ride

dist:
	@$(call PACKAGES,ride)
	@cmake --preset windows --log-level=WARNING >/dev/null
	@cmake --build --preset windows --target ride

ride: dist
	@tools/ride/play.sh "$$RIDE"

docs: dist
	@tools/ride/docs.sh

# The package alone, as a modder builds it: CMake, Ninja and MinGW-w64.
package:
	@$(call PACKAGES,package)
	@cmake --preset package --log-level=WARNING >/dev/null
	@cmake --build --preset package

# What make install reads: the package preset's own package, whatever dist/
# holds. Configured once (two runs at once would regenerate it together);
# quiet when there is nothing to do; a failure is shown by a rerun.
stage:
	@$(call PACKAGES,package)
	@[ -f build/package/build.ninja ] || cmake --preset package --log-level=WARNING >/dev/null
	@cmake --build --preset package --target stage >/dev/null || cmake --build --preset package --target stage

# The quick loop: what catches a wrong change to the plugin, in a fraction
# of make test's time.
check:
	@$(call PACKAGES,check)
	@tools/check.sh

# Builds every preset, then runs every suite: the documented commands in a
# short form, and each preset's tests. Prints a line per suite and one sum.
test:
	@$(call PACKAGES,test)
	@tools/run-tests.sh

lint:
	@$(call PACKAGES,test)
	@for build in $$(tools/presets.sh); do \
	  cmake --preset "$$build" --log-level=WARNING >/dev/null || exit 1; \
	done
	@tools/lint.sh

# The numbers a command takes, checked before anything is built.
fuzz-seconds:
	@tools/whole-number.sh FUZZ_SECONDS 1 86400
property-seeds:
	@tools/whole-number.sh PROPERTY_SEEDS 1 1000000
quick:
	@[ -z "$$QUICK" ] || tools/whole-number.sh QUICK 0 1

# The Linux build per situation (times and instructions), then the shipped
# DLL under Wine (the common frame against its floor), then what a game
# folder's size costs make install.
bench: quick package
	@$(call PACKAGES,bench)
	@cmake --preset linux-gcc --log-level=WARNING >/dev/null
	@cmake --build --preset linux-gcc --target frame_bench
	@build/linux-gcc/bench/linux/frame_bench $$([ "$$QUICK" != 1 ] || echo --quick)
	@cmake --preset windows --log-level=WARNING >/dev/null
	@cmake --build --preset windows --target shipped_dll_bench
	@tools/wine/run.sh build/windows build/windows/bin/shipped_dll_bench.exe \
	  build/windows/dist/Quillmere.asi $$([ "$$QUICK" != 1 ] || echo --quick)
	@bench/install/folder-size.sh $$([ "$$QUICK" != 1 ] || echo --quick)

# The same CTest entries that make test runs for 5 s each, run for longer
# with a fresh seed; corpora and crash artifacts stay in build/linux-asan.
fuzz: fuzz-seconds
	@$(call PACKAGES,fuzz)
	@cmake --preset linux-asan --log-level=WARNING >/dev/null
	@cmake --build --preset linux-asan
	@FUZZ_SEED=0 ctest --preset linux-asan -L fuzz --verbose

property: property-seeds
	@$(call PACKAGES,property)
	@cmake --preset linux-gcc --log-level=WARNING >/dev/null
	@cmake --build --preset linux-gcc --target property_tests
	@QUILLMERE_PROPERTY_SEEDS=$$PROPERTY_SEEDS build/linux-gcc/tests/property/property_tests

# The plugin in a game's folder, by the one writer into it. A refusal is one
# line: CMake before 3.29 cannot stop a script quietly, so what it adds after
# that line is kept out of sight, in a log of this run's own ($$, the shell's).
# A name starting with - goes as ./NAME: CMake 3.25 reads some such names as
# its own options, even after --.
install uninstall: stage
	@log=build/package/$@-$$$$.log; game=$$GAME_DIR; case $$game in -*) game=./$$game;; esac; \
	if cmake -P tools/plugin-files.cmake -- $@ "$$game" 2>"$$log"; then cmake -E rm -f "$$log"; else \
	  cmake -P tools/plugin-files.cmake -- report "$$log"; cmake -E rm -f "$$log"; exit 2; fi

clean:
	rm -rf build dist
