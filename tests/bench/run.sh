#!/usr/bin/env bash
# Runs every benchmark program, then every comparison script (bench_*.sh) beside this file; a
# script whose reference program is missing says so and is skipped (exit 77).
set -euo pipefail
build=$(cd "${1:-build/bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
shopt -s nullglob
for exe in "$build"/tests/bench/bench_*; do
  [ -x "$exe" ] || continue
  echo "== $(basename "$exe")"
  "$exe" --benchmark_min_time=0.2
done
for script in "$here"/bench_*.sh; do
  echo "== $(basename "$script")"
  status=0
  GBX_BENCH_BUILD="$build" bash "$script" || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
done
