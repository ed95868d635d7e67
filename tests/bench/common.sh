# Shared by the comparison scripts: a private work folder removed on exit, whole processes timed
# on one core, the size of the inputs, and the reference programs a script needs.

# The work folder (mode 0700, on tmpfs where there is one, so that a busy disk does not hide the
# programs' own speed) is also the runtime and temporary folder of everything a script starts: a
# GBX started here never meets a GBX of the user's (the single-instance lock lives in
# $XDG_RUNTIME_DIR, else $TMPDIR), nor another bench's.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; else base=${TMPDIR:-/tmp}; fi
work=$(mktemp -d "$base/gbx-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run" "$work/tmp"
export XDG_RUNTIME_DIR=$work/run TMPDIR=$work/tmp

core=$(( $(nproc) - 1 ))
pinned=()
if command -v taskset >/dev/null; then pinned=(taskset -c "$core"); fi
pin() { "${pinned[@]}" "$@"; }
# Seconds of audio: the given default, or 2 when the test suite runs the script (GBX_BENCH_SMOKE).
audio_seconds() { if [ -n "${GBX_BENCH_SMOKE:-}" ]; then echo 2; else echo "$1"; fi; }
# Runs of each side of a comparison: the median counts; one when the test suite runs the script.
runs() { if [ -n "${GBX_BENCH_SMOKE:-}" ]; then echo 1; else echo "${1:-9}"; fi; }
# Without a reference program there is nothing to compare with: say so and skip (exit 77).
require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
}

# The CPU time (user + system, seconds) of one run of a command, as a whole process pinned to the
# bench core (cpu_time's own start is not counted); the command's output goes to $work/out.
cpu_time=$build/tests/bench/cpu_time
cpu_seconds() {
  pin "$cpu_time" "$work/cpu" "$@" >"$work/out" 2>&1 || { echo "failed: $*" >&2; cat "$work/out" >&2; return 1; }
  cat "$work/cpu"
}

# The median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# compare NAME REFERENCE GOAL OURS THEIRS [CLEANUP]: runs the functions OURS and THEIRS (each runs
# one whole process through cpu_seconds and prints its seconds) by turns, $repeats times each, the
# first of each pair alternating, CLEANUP after each pair, untimed; prints the ratio of the median
# CPU times beside the reference, both times, and the goal (a ratio at most GOAL; "-" for none).
compare() {
  local name=$1 reference=$2 goal=$3 ours=$4 theirs=$5 cleanup=${6:-:} i a b ours_all="" theirs_all=""
  for i in $(seq "$repeats"); do
    if (( i % 2 )); then
      a=$("$ours") || exit 1
      b=$("$theirs") || exit 1
    else
      b=$("$theirs") || exit 1
      a=$("$ours") || exit 1
    fi
    "$cleanup"
    ours_all+="$a"$'\n'
    theirs_all+="$b"$'\n'
  done
  a=$(median <<<"${ours_all%$'\n'}")
  b=$(median <<<"${theirs_all%$'\n'}")
  awk -v name="$name" -v ref="$reference" -v goal="$goal" -v a="$a" -v b="$b" -v n="$repeats" 'BEGIN {
    r = a / b
    printf "%s: %.2f of %s (ours %.3f s, reference %.3f s of CPU, median of %d", name, r, ref, a, b, n
    if (goal == "-") { print ")"; exit }
    printf "; goal <= %s%s)\n", goal, r <= goal + 0 ? "" : ", NOT MET"
  }'
}
