#!/usr/bin/env bash
# make lint: clang-format over every C++ file; clang-tidy over every source
# a build compiles, as that build's compile_commands.json lists it; and
# every shell script through shellcheck.
#
# Each source is tidied once, by the first build that lists it, clang's own
# builds first (their commands are clang's), then the MinGW-w64 ones, read by
# clang for MinGW-w64's target with MinGW-w64's own C++ and Windows headers,
# then any other. Two at a time.
# Run from the project's root, after every preset is configured.
# Usage: lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t presets < <(tools/presets.sh)

tracked=$(git ls-files --cached --others --exclude-standard)
mapfile -t formatted < <(grep -E '\.(cpp|h)$' <<<"$tracked")
clang-format --dry-run -Werror "${formatted[@]}"

mapfile -t scripts < <(while IFS= read -r file; do
  if [[ $file == *.sh ]] || head -1 "$file" | grep -q '^#!.*bash'; then
    echo "$file"
  fi
done <<<"$tracked")
shellcheck "${scripts[@]}"

# "BUILD KIND FILE" lines, KIND being clang, mingw or other: every project
# source in the presets' compile commands, each once, by the preference above.
listing=$(python3 - "$PWD" "${presets[@]}" <<'PYTHON'
import json, os, sys
root, presets = sys.argv[1], sys.argv[2:]
rank = {"clang": 0, "mingw": 1, "other": 2}
chosen = {}
for order, preset in enumerate(presets):
    with open(os.path.join(root, "build", preset, "compile_commands.json")) as listing:
        for entry in json.load(listing):
            file = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
            relative = os.path.relpath(file, root)
            if relative.startswith(("..", "build" + os.sep)) or not relative.endswith(".cpp"):
                continue
            compiler = os.path.basename((entry.get("command") or " ".join(entry["arguments"])).split()[0])
            kind = "mingw" if "mingw" in compiler else "clang" if "clang" in compiler else "other"
            if relative not in chosen or (rank[kind], order) < chosen[relative][:2]:
                chosen[relative] = (rank[kind], order, preset, kind)
for relative, (_, _, preset, kind) in sorted(chosen.items()):
    print(preset, kind, relative)
PYTHON
)
mapfile -t sources <<<"$listing"

# MinGW-w64's C++ and Windows headers, as the windows build's compiler
# searches them, less GCC's own intrinsics headers (clang has its own).
mingw=$(sed -n 's/^QUILLMERE_MINGW_CXX:FILEPATH=//p' build/windows/CMakeCache.txt)
mingw_arguments=(--extra-arg-before=--target=x86_64-w64-mingw32)
while read -r folder; do
  mingw_arguments+=("--extra-arg=-isystem$folder")
done < <(echo | "$mingw" -std=c++20 -E -x c++ -v - 2>&1 |
  sed -n '/search starts here:/,/End of search list/p' | grep '^ ' | sed 's/^ *//' |
  grep -Ev '/gcc/[^/]+/[^/]+/include(-fixed)?$')

tidy() { # BUILD KIND FILES...
  local build=$1 kind=$2
  shift 2
  local arguments=(-p "build/$build" --quiet)
  [ "$kind" != mingw ] || arguments+=("${mingw_arguments[@]}")
  printf '%s\n' "$@" | xargs -P 2 -n 4 clang-tidy "${arguments[@]}" 2>&1 | { grep -v 'warnings generated' || true; }
}

status=0
for preset in "${presets[@]}"; do
  for kind in clang mingw other; do
    mapfile -t files < <(printf '%s\n' "${sources[@]}" | sed -n "s|^$preset $kind ||p")
    if [ "${#files[@]}" -gt 0 ] && ! tidy "$preset" "$kind" "${files[@]}"; then
      status=1
    fi
  done
done
[ "$status" -eq 0 ] && echo "lint: format, clang-tidy and shellcheck clean"
exit "$status"
