# Shared by the comparison scripts: a work folder removed on exit, and timing on one core.
work=$(mktemp -d "${TMPDIR:-/tmp}/gbx-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
core=$(( $(nproc) - 1 ))
pin() { if command -v taskset >/dev/null; then taskset -c "$core" "$@"; else "$@"; fi; }
now() { date +%s.%N; }
