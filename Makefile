# make                 builds the player's package in dist/ and plays the default ride
# make test            builds everything and runs every test
# make ride RIDE=path  plays a ride script of your own (see tools/ride/default.ride)
# All of them install the Debian packages they need first (apt-get, as root).

BUILDS := native-gcc native-clang windows
RIDE ?=

.PHONY: all dist ride test packages clean

all: dist ride

ride: dist
	@tools/ride/play.sh $(RIDE)

packages:
	@tools/install-packages.sh

dist: packages
	@cmake --preset windows --log-level=WARNING >/dev/null
	@cmake --build --preset windows

test: packages
	@set -e; for build in $(BUILDS); do \
	  cmake --preset $$build --log-level=WARNING >/dev/null; \
	  cmake --build --preset $$build; \
	done
	@set -e; for build in $(BUILDS); do \
	  echo "== tests: $$build"; \
	  ctest --preset $$build; \
	done

clean:
	rm -rf build dist
