#!/usr/bin/env bash
# GBX's first window with a full card (4,000 songs, their icon files and the database) against
# its start with an empty card, on a virtual X server: the time from starting the program to
# its first visible window, the median of several starts. Goal: at most 1.5 times.
set -euo pipefail
build=${GBX_BENCH_BUILD:-build/bench}
gbx="$build/app/GBX"
source "$(dirname "$0")/common.sh"
require xvfb-run xdotool
[ -x "$gbx" ] || { echo "skipped: $gbx is not built"; exit 77; }
mkdir -p "$work/empty/QM-3" "$work/config" "$work/data" "$work/cache"
"$build/tests/bench/bench_card" --make-card "$work/full/QM-3/"
: > "$work/mounts"
repeats=$(runs 9)

# Seconds from the start to the first visible window of the program, for the card folder $1.
cat > "$work/start.sh" <<'INNER'
card=$1
export GBX_VOLUMES=$card GBX_MOUNTINFO=$WORK/mounts XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data \
  XDG_CACHE_HOME=$WORK/cache LANGUAGE= QT_QPA_PLATFORM=xcb
start=$(date +%s.%N)
"$GBX" >/dev/null 2>&1 &
pid=$!
shown=0
for _ in $(seq 1 3000); do
  if xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then shown=1; break; fi
  sleep 0.005
done
end=$(date +%s.%N)
kill -KILL "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
[ "$shown" = 1 ] || { echo never; exit 0; }
awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f\n", e - s }'
INNER
cat > "$work/starts.sh" <<'INNER'
for _ in $(seq 1 "$REPEATS"); do
  echo "empty $(bash "$WORK/start.sh" "$WORK/empty/QM-3" 2>/dev/null)"
  echo "full $(bash "$WORK/start.sh" "$WORK/full/QM-3" 2>/dev/null)"
done
INNER
times=$(WORK=$work GBX=$gbx REPEATS=$repeats xvfb-run -a bash "$work/starts.sh")
median() { echo "$times" | awk -v k="$1" '$1 == k { print $2 }' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
if echo "$times" | grep -q never; then echo "GBX showed no window"; exit 1; fi
empty=$(median empty)
full=$(median full)
awk -v e="$empty" -v f="$full" 'BEGIN {
  printf "first window, empty card      %.3f s\n", e
  printf "first window, 4,000 songs     %.3f s\n", f
  printf "ratio %.2f  ratio_to_goal %.2f (goal 1.5)\n", f / e, f / e / 1.5
}'
