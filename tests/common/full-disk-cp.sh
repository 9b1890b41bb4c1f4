#!/usr/bin/env bash
# cp as a full disk makes it, for tests of what a write that fails half-way
# leaves: put a link named cp to this script first on PATH. The first copy
# of a file named $FAIL_NAME into the folder $FAIL_INTO fails, copying
# nothing; every other copy is the real cp's ($REAL_CP).
set -euo pipefail
for last; do :; done
marker=$FAIL_INTO/../.full-disk-cp-failed-once
if [[ "$*" == *"$FAIL_NAME"* && $last == "$FAIL_INTO"* && ! -e $marker ]]; then
  touch "$marker"
  echo "cp: error writing '$last': No space left on device" >&2
  exit 1
fi
exec "$REAL_CP" "$@"
