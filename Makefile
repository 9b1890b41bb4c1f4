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

# The checkout's path, refused in one line before anything is built where it
# holds what the tools cannot carry: a $ or a ; (make, the shell and CMake
# read them), a control character, or one of \ * ? " < > | : (Windows or
# Wine read them otherwise).
ODD := $(shell pwd | LC_ALL=C awk '{ p = p (NR > 1 ? "\n" : "") $$0 } END { \
  if (match(p, /[[:cntrl:]]/)) print "a control character"; \
  else if (match(p, /[$$;*?"<>|:\\]/)) print "\047" substr(p, RSTART, 1) "\047" }')
ifneq ($(ODD),)
$(error this checkout's path holds $(ODD), which the tools cannot carry: move it to a folder whose path holds none of $$ ; \ * ? " < > | : or a control character)
endif

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
	@tools/configure.sh windows
	@cmake --build --preset windows --target ride

ride: dist
	@tools/ride/play.sh "$$RIDE"

docs: dist
	@tools/ride/docs.sh

# The package alone, as a modder builds it: CMake, Ninja and MinGW-w64.
package:
	@$(call PACKAGES,package)
	@tools/configure.sh package
	@cmake --build --preset package

# What make install reads: the package preset's own package, whatever dist/
# holds; quiet when there is nothing to do; a failure is shown by a rerun. As
# root in another user's checkout (sudo make install), built as its owner, so
# that nothing in build/ becomes root's.
AS_OWNER = $$(if [ "$$(id -u 2>/dev/null)" = 0 ] && [ ! -O . ]; then \
  echo setpriv --reuid="$$(stat -c %u .)" --regid="$$(stat -c %g .)" --clear-groups; fi)
stage:
	@$(call PACKAGES,package)
	@$(AS_OWNER) tools/configure.sh package --if-missing
	@$(AS_OWNER) cmake --build --preset package --target stage >/dev/null || \
	  $(AS_OWNER) cmake --build --preset package --target stage

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
	@for build in $$(tools/presets.sh); do tools/configure.sh "$$build" || exit 1; done
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
	@tools/configure.sh linux-gcc
	@cmake --build --preset linux-gcc --target frame_bench
	@build/linux-gcc/bench/linux/frame_bench $$([ "$$QUICK" != 1 ] || echo --quick)
	@tools/configure.sh windows
	@cmake --build --preset windows --target shipped_dll_bench
	@tools/wine/run.sh build/windows build/windows/bin/shipped_dll_bench.exe \
	  build/windows/dist/Quillmere.asi $$([ "$$QUICK" != 1 ] || echo --quick)
	@bench/install/folder-size.sh $$([ "$$QUICK" != 1 ] || echo --quick)

# The same CTest entries that make test runs for 5 s each, run for longer
# with a fresh seed; corpora and crash artifacts stay in build/linux-asan.
fuzz: fuzz-seconds
	@$(call PACKAGES,fuzz)
	@tools/configure.sh linux-asan
	@cmake --build --preset linux-asan
	@FUZZ_SEED=0 ctest --preset linux-asan -L fuzz --verbose

property: property-seeds
	@$(call PACKAGES,property)
	@tools/configure.sh linux-gcc
	@cmake --build --preset linux-gcc --target property_tests
	@QUILLMERE_PROPERTY_SEEDS=$$PROPERTY_SEEDS build/linux-gcc/tests/property/property_tests

# The plugin in a game's folder, by the one writer into it. A refusal is one
# line: CMake before 3.29 cannot stop a script quietly, so the note it adds
# after that line ("CMake Error at", a line of its own) is left out. A name
# starting with - goes as ./NAME: CMake 3.25 reads some such names as its
# own options, even after --.
install uninstall: stage
	@game=$$GAME_DIR; case $$game in -*) game=./$$game;; esac; nl=$$(printf '\n.'); \
	{ said=$$(cmake -P tools/plugin-files.cmake -- $@ "$$game" 2>&1 >&3 3>&-); } 3>&1; status=$$?; \
	[ -z "$$said" ] || printf '%s\n' "$${said%%"$${nl%.}CMake Error at"*}" >&2; [ "$$status" -eq 0 ] || exit 2

clean:
	rm -rf build dist
