#!/usr/bin/env bash
# A CMakeUserPresets.json of a user's own, in a copy of the checkout's
# sources: a well-formed one adds no preset to those make test, make check
# and make lint run; a broken one stops make test, which CMake's refusal
# names, where a run with no preset at all would pass. (The copy has the
# checkout's Windows CMake from npm, so that make test fetches nothing.)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
copy=$(mktemp -d "$root/build/user-presets.XXXXXX")  # a path make takes, as it takes the checkout's
trap 'rm -rf "$copy"' EXIT
tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -
echo '{"version": 6, "configurePresets": [{"name": "mine", "inherits": "linux-gcc"}],
  "testPresets": [{"name": "mine", "configurePreset": "mine"}]}' >"$copy/CMakeUserPresets.json"
for kind in configure test; do
  [ "$("$copy/tools/presets.sh" "$kind")" = "$("$root/tools/presets.sh" "$kind")" ] ||
    { echo "FAIL: a well-formed CMakeUserPresets.json adds to the $kind presets run" && exit 1; }
done
echo '{"version": 6,}' >"$copy/CMakeUserPresets.json"
mkdir "$copy/build" && ln -s "$root/build/npm" "$copy/build/npm"
make -s -C "$copy" test
