#!/bin/sh
# Prints the names of this checkout's own presets of KIND (configure or
# test), one a line, from CMakePresets.json alone: a CMakeUserPresets.json
# of a user's own adds nothing to what make test, make check and make lint
# run (and CMake refuses a broken one, naming it, as they build).
# Usage: presets.sh configure|test
exec python3 -c 'import json, sys
for preset in json.load(open(sys.argv[2]))[sys.argv[1] + "Presets"]:
    preset.get("hidden") or print(preset["name"])' "$1" "${0%/*}/../CMakePresets.json"
