#!/usr/bin/env bash
# make lint: clang-format over every C++ file, shellcheck over every shell
# script, and clang-tidy over every source a build compiles, each once, as the
# first build that lists it compiles it: clang's builds first (their commands
# are clang's), then the MinGW-w64 one, which clang reads for MinGW-w64's
# target with MinGW-w64's own C++ and Windows headers (GCC's intrinsics
# headers aside: clang has its own), then any other. Two at a time. With
# --quick, clang-format and shellcheck alone, checks of seconds that make
# check runs too.
# Usage: lint.sh [--quick]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t tracked < <(git ls-files --cached --others --exclude-standard)
mapfile -t formatted < <(printf '%s\n' "${tracked[@]}" | grep -E '\.(cpp|h)$')
clang-format --dry-run -Werror "${formatted[@]}"
mapfile -t scripts < <(for file in "${tracked[@]}"; do
  if [[ $file == *.sh ]] || head -1 "$file" | grep -q '^#!.*bash'; then echo "$file"; fi
done)
shellcheck "${scripts[@]}"
[ "${1:-}" != --quick ] || { echo "lint: format and shellcheck clean" && exit 0; }
mapfile -t presets < <(tools/presets.sh configure) && wait $! || exit 1
for preset in "${presets[@]}"; do
  tools/build.sh "$preset" configured
done

python3 - "$(sed -n 's/^QUILLMERE_MINGW_CXX:FILEPATH=//p' build/windows/CMakeCache.txt)" "${presets[@]}" <<'PYTHON'
import concurrent.futures, json, os, re, subprocess, sys
mingw, presets = sys.argv[1], sys.argv[2:]
search = subprocess.run([mingw, "-std=c++20", "-E", "-x", "c++", "-v", "-"], input="",
                        capture_output=True, text=True).stderr
search = search.split("search starts here:")[-1].split("End of search list")[0]
mingw_arguments = ["--extra-arg-before=--target=x86_64-w64-mingw32"] + [
    "--extra-arg=-isystem" + line.strip() for line in search.splitlines()
    if line.startswith(" ") and not re.search(r"/gcc/[^/]+/[^/]+/include(-fixed)?$", line)]
chosen = {}  # file: (rank, order, clang-tidy's arguments)
for order, preset in enumerate(presets):
    for entry in json.load(open(f"build/{preset}/compile_commands.json")):
        file = os.path.relpath(os.path.realpath(os.path.join(entry["directory"], entry["file"])))
        compiler = os.path.basename((entry.get("command") or " ".join(entry["arguments"])).split()[0])
        rank = 0 if "clang" in compiler else 1 if "mingw" in compiler else 2
        if file.endswith(".cpp") and not file.startswith(("..", "build" + os.sep)) and \
                (rank, order) < chosen.get(file, (3, 0))[:2]:
            chosen[file] = (rank, order, [f"-p=build/{preset}", "--quiet"] + (mingw_arguments if rank == 1 else []))
def tidy(file):
    done = subprocess.run(["clang-tidy", *chosen[file][2], file], capture_output=True, text=True)
    print("".join(line for line in (done.stdout + done.stderr).splitlines(True)
                  if "warnings generated" not in line), end="", flush=True)
    return done.returncode
with concurrent.futures.ThreadPoolExecutor(2) as pool:
    sys.exit(1 if any(list(pool.map(tidy, sorted(chosen)))) else 0)
PYTHON
echo "lint: format, clang-tidy and shellcheck clean"
