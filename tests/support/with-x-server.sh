#!/usr/bin/env bash
# Runs a command on a virtual X server of its own, ended with it: with-x-server.sh WxHxD command...
# Xvfb picks a free display itself (-displayfd), so runs started side by side never take the same
# one (xvfb-run -a can, and the run that ends first then takes the other's server away); and it
# never resets when its last client goes, which breaks a program connecting at that moment.
set -euo pipefail
screen=$1
shift
command -v Xvfb >/dev/null || { echo "with-x-server: Xvfb is not installed" >&2; exit 1; }
dir=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
mkfifo "$dir/ready"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$dir/ready" 2>"$dir/log" &
server=$!
# The server writes its display number once it takes connections; nothing within 30 s is a failure.
number=""
read -r -t 30 number <"$dir/ready" || true
if [ -z "$number" ]; then
  echo "with-x-server: Xvfb did not start" >&2
  cat "$dir/log" >&2
  exit 1
fi
status=0
DISPLAY=":$number" "$@" || status=$?
exit "$status"
