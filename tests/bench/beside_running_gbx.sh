#!/usr/bin/env bash
# beside_running_gbx.sh COMMAND...: runs the command as a user's shell with a GBX open would: its
# runtime and temporary folder (a fresh one here) holds the single-instance lock of a running GBX,
# taken by this script in its place. A GBX that the command starts in that folder hands over to
# the stand-in and ends without a window; one started in a folder of its own is not disturbed.
set -euo pipefail
outer=$(mktemp -d "${TMPDIR:-/tmp}/gbx-user-XXXXXX")
trap 'rm -rf "$outer"' EXIT
# The lock file GBX takes, named after its application name.
exec 9>"$outer/InstanceManagerGigbox Setlister"
flock -n 9 || { echo "the stand-in could not take the lock"; exit 1; }
status=0
XDG_RUNTIME_DIR=$outer TMPDIR=$outer "$@" 9>&- || status=$?
exit "$status"
