#!/usr/bin/env bash
# The presets CMakePresets.json defines, one name a line, in its order: the
# configure presets, or those of another kind (build, test).
# Usage: presets.sh [configure|build|test]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --list-presets="${1:-configure}" | sed -n 's/^  "\([^"]*\)".*/\1/p'
