# make       builds the player's package in dist/
# make test  builds everything and runs every test
# Both install the Debian packages they need first (apt-get, as root).

BUILDS := native-gcc native-clang windows

.PHONY: all dist test packages clean

all: dist

packages:
	@tools/install-packages.sh

dist: packages
	@cmake --preset windows --log-level=WARNING
	@cmake --build --preset windows

test: packages
	@set -e; for build in $(BUILDS); do \
	  cmake --preset $$build --log-level=WARNING; \
	  cmake --build --preset $$build; \
	done
	@set -e; for build in $(BUILDS); do \
	  echo "== tests: $$build"; \
	  ctest --preset $$build; \
	done

clean:
	rm -rf build dist
