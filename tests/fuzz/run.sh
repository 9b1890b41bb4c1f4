#!/usr/bin/env bash
# Runs one libFuzzer target as make test (briefly) and make fuzz (at length)
# both do: its corpus grows in FOLDER/corpus from run to run, and any crashing
# input is kept in FOLDER/artifacts.
# Usage: run.sh FUZZER FOLDER
# FUZZ_SECONDS: how long (default 5). FUZZ_SEED: libFuzzer's seed (default 1,
# so a short run is repeatable; 0 picks a new one each run).
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 FUZZER FOLDER" >&2
  exit 2
fi
fuzzer=$1
folder=$(mkdir -p "$2" && cd "$2" && pwd)
mkdir -p "$folder/corpus" "$folder/artifacts"
exec "$fuzzer" -max_total_time="${FUZZ_SECONDS:-5}" -seed="${FUZZ_SEED:-1}" -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$folder/artifacts/" "$folder/corpus"
