#!/usr/bin/env bash
# Runs every benchmark program, then every comparison script (bench_*.sh) beside this file.
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
  GBX_BENCH_BUILD="$build" bash "$script"
done
