# Shared by the comparison scripts: a work folder removed on exit, timing on one core, the size of
# the inputs, and the reference programs a script needs.
work=$(mktemp -d "${TMPDIR:-/tmp}/gbx-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
core=$(( $(nproc) - 1 ))
pin() { if command -v taskset >/dev/null; then taskset -c "$core" "$@"; else "$@"; fi; }
now() { date +%s.%N; }
# Seconds of audio: the given default, or 2 when the test suite runs the script (GBX_BENCH_SMOKE).
audio_seconds() { if [ -n "${GBX_BENCH_SMOKE:-}" ]; then echo 2; else echo "$1"; fi; }
# Runs of each timed step: the best counts; one when the test suite runs the script.
runs() { if [ -n "${GBX_BENCH_SMOKE:-}" ]; then echo 1; else echo "${1:-3}"; fi; }
# Without a reference program there is nothing to compare with: say so and skip (exit 77).
require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
}
