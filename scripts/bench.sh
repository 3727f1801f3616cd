#!/usr/bin/env bash
# Runs every benchmark program of a build and prints its figures.
set -euo pipefail
build=${1:-build}
status=0
for b in "$build"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
  echo
done
exit $status
