#!/usr/bin/env bash
# Packs the player's files: a zip that equal files always make equal (the
# files' bare names, a fixed time and mode for each, no extra fields: zip -X
# leaves out the owner and the access and change times), and SHA256SUMS for
# the files and the zip, beside them in the zip's folder.
# Usage: pack.sh ZIP FILE...   (the FILEs in the zip's folder)
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 ZIP FILE..." >&2
  exit 2
fi
zip=$(realpath -m "$1")
shift
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
names=()
for file in "$@"; do
  cp "$file" "$stage/"
  names+=("$(basename "$file")")
done
chmod 644 "$stage"/*
export TZ=UTC
touch -d '2026-01-01 00:00:00' "$stage"/*
rm -f "$zip"
(cd "$stage" && zip -X -q -9 "$zip" "${names[@]}")
cd "$(dirname "$zip")"
sha256sum "${names[@]}" "$(basename "$zip")" >SHA256SUMS
