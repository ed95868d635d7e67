#!/usr/bin/env bash
# GBX's first window with a full card (4,000 songs, their icon files and the database) against its
# start with an empty card, on a virtual X server: the CPU time of the whole process from its start
# to its first visible window (where it is ended), pinned to one core, the two starts by turns,
# the median of several.
set -euo pipefail
build=${GBX_BENCH_BUILD:-build/bench}
gbx="$build/app/GBX"
[ -x "$gbx" ] || { echo "skipped: $gbx is not built"; exit 77; }
# The starts need an X server: the script runs again on a virtual one of its own.
if [ -z "${GBX_BENCH_DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "skipped: Xvfb is not installed"; exit 77; }
  exec bash "$(dirname "$0")/../support/with-x-server.sh" 1280x1024x24 env GBX_BENCH_DISPLAY=1 bash "$0" "$@"
fi
source "$(dirname "$0")/common.sh"
require xdotool
mkdir -p "$work/empty/QM-3" "$work/config" "$work/data" "$work/cache"
"$build/tests/bench/bench_card" --make-card "$work/full/QM-3/"
: > "$work/mounts"
repeats=$(runs 9)

# One start for the card folder $1: the CPU seconds until the window shows (at most a minute). Its
# runtime and temporary folders are the script's own, so a GBX the user has open never takes it over.
start() {
  (
    export GBX_VOLUMES=$1 GBX_MOUNTINFO=$work/mounts XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
      XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/run TMPDIR=$work/tmp LANGUAGE= QT_QPA_PLATFORM=xcb
    exec "${pinned[@]}" "$cpu_time" "$work/cpu" "$gbx"
  ) >/dev/null 2>&1 &
  local runner=$! pid="" shown=0 deadline=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$deadline" ]; do
    [ -n "$pid" ] || pid=$(pgrep -P "$runner" || true)
    if [ -n "$pid" ] && xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then shown=1; break; fi
    sleep 0.005
  done
  [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
  wait "$runner" || true
  [ "$shown" = 1 ] || { echo "GBX showed no window" >&2; return 1; }
  cat "$work/cpu"
}
full() { start "$work/full/QM-3"; }
empty() { start "$work/empty/QM-3"; }

# The first start registers the document type in the data folder; later starts find it in place.
empty >/dev/null
compare "first window with 4,000 songs" "GBX's first window with an empty card" 2.5 full empty
