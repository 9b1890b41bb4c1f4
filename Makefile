# The make commands, described in README.md ("Commands"). Each installs the
# Debian packages it needs first (apt-get, as root), and no more.

SHELL := /bin/sh

# The checkout's path, refused in one line before anything is built where it
# holds what the tools cannot carry: a $, ; or # (make, CMake and Ninja read
# them), a control character, or one of \ * ? " < > | : (Windows or Wine
# read them otherwise).
ODD := $(shell pwd | LC_ALL=C awk '{ p = p (NR > 1 ? "\n" : "") $$0 } END { \
  if (match(p, /[[:cntrl:]]/)) print "a control character"; \
  else if (match(p, /[$$;\#*?"<>|:\\]/)) print "\047" substr(p, RSTART, 1) "\047" }')
HASH := \#
ifneq ($(ODD),)
$(error this checkout's path holds $(ODD), which the tools cannot carry: move it to a folder whose path holds none of $$ ; $(HASH) \ * ? " < > | : or a control character)
endif

FUZZ_SECONDS ?= 300
PROPERTY_SEEDS ?= 20000

# What a user gives reaches the tools as typed, through the environment,
# never expanded by make nor pasted into a shell line.
USER_VARIABLES := RIDE FUZZ_SECONDS PROPERTY_SEEDS QUICK GAME_DIR
$(foreach name,$(USER_VARIABLES),$(eval override $(name) := $$(value $(name))))
export $(USER_VARIABLES)

# Of the caller's environment a recipe gets these names alone, and each
# command the one it takes (so make test's own short runs keep their
# numbers): what a command runs and builds is the checkout's to decide, not
# the shell's (nor make's: its own variables override). apt-get and npm also
# get the proxies, npm's settings and the certificates Node is told to trust.
KEPT = PATH HOME TMPDIR TERM LANG LOCPATH LC_ALL LC_ADDRESS LC_COLLATE LC_CTYPE LC_IDENTIFICATION \
  LC_MEASUREMENT LC_MESSAGES LC_MONETARY LC_NAME LC_NUMERIC LC_PAPER LC_TELEPHONE LC_TIME $(TAKES)
INSTALLERS = $(KEPT) http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY \
  NODE_EXTRA_CA_CERTS $(addprefix npm_config_,registry proxy https_proxy noproxy cafile strict_ssl)
ONLY = env -i $(foreach name,$(1),$${$(name)+"$(name)=$$$(name)"})
override TAKES :=
ride: override TAKES = RIDE
fuzz: override TAKES = FUZZ_SECONDS
property: override TAKES = PROPERTY_SEEDS
bench: override TAKES = QUICK
install uninstall: override TAKES = GAME_DIR

# As root in a checkout of another user's (sudo make), what runs in the
# checkout runs as its owner, so that nothing in it becomes root's; only
# apt-get runs as root, and the writer into a game's folder as that
# folder's owner (tools/install.sh).
OWNER := $(shell [ "$$(id -u 2>/dev/null)" = 0 ] && [ ! -O . ] && \
  echo setpriv --reuid="$$(stat -c %u .)" --regid="$$(stat -c %g .)" --clear-groups)
RUN = $(OWNER) $(call ONLY,$(KEPT))

# The Debian packages a command needs (where there are apt-get and bash);
# for make test, also the Windows CMake from npm, as the checkout's owner.
PACKAGES = if command -v apt-get >/dev/null 2>&1 && command -v bash >/dev/null; then \
	  $(INSTALL) $(1) && { [ $(1) != test ] || $(OWNER) $(INSTALL) npm; }; fi
INSTALL = $(call ONLY,$(INSTALLERS)) bash tools/install-packages.sh

.PHONY: all dist ride docs check test lint bench fuzz property install uninstall package stage clean

all: ride

dist:
	@$(call PACKAGES,ride)
	@$(RUN) tools/build.sh windows ride

ride: dist
	@$(RUN) tools/ride/play.sh "$$RIDE"

docs: dist
	@$(RUN) tools/ride/docs.sh

package:
	@$(call PACKAGES,package)
	@$(RUN) tools/build.sh package

# What make install reads: the package preset's own package, whatever dist/
# holds; quiet unless it fails, which a rerun shows.
stage:
	@$(call PACKAGES,package)
	@$(RUN) tools/build.sh package --if-missing stage >/dev/null || $(RUN) tools/build.sh package stage

check test:
	@$(call PACKAGES,$@)
	@$(RUN) tools/run-tests.sh $(filter check,$@)

lint:
	@$(call PACKAGES,test)
	@$(RUN) tools/lint.sh

# The numbers a command takes are checked before anything is built.
bench:
	@[ -z "$$QUICK" ] || $(RUN) tools/whole-number.sh QUICK 0 1
	@$(call PACKAGES,bench)
	@$(RUN) tools/build.sh package
	@$(RUN) tools/build.sh linux-gcc frame_bench
	@$(RUN) build/linux-gcc/bench/linux/frame_bench
	@$(RUN) tools/build.sh windows shipped_dll_bench
	@$(RUN) tools/wine/run.sh build/windows build/windows/bin/shipped_dll_bench.exe \
	  build/windows/dist/Quillmere.asi $$([ "$$QUICK" != 1 ] || echo --quick)
	@$(RUN) bench/install/folder-size.sh $$([ "$$QUICK" != 1 ] || echo --quick)

# make test's own fuzzing entries, longer, with a fresh seed.
fuzz:
	@$(RUN) tools/whole-number.sh FUZZ_SECONDS 1 86400
	@$(call PACKAGES,fuzz)
	@$(RUN) tools/build.sh linux-asan
	@$(RUN) FUZZ_SEED=0 ctest --preset linux-asan -L fuzz --verbose

property:
	@$(RUN) tools/whole-number.sh PROPERTY_SEEDS 1 1000000
	@$(call PACKAGES,property)
	@$(RUN) tools/build.sh linux-gcc property_tests
	@$(RUN) QUILLMERE_PROPERTY_SEEDS="$$PROPERTY_SEEDS" build/linux-gcc/tests/property/property_tests

install uninstall: stage
	@$(call ONLY,$(KEPT)) tools/install.sh $@

clean:
	@$(RUN) rm -rf build dist
