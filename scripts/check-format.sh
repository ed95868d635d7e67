#!/usr/bin/env bash
# Fails when a C or C++ source of the tree does not follow .clang-format; `--fix` formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' '*.c' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
[ ${#files[@]} -gt 0 ] || exit 0
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! clang-format --dry-run -Werror "${files[@]}" 2>"$report"; then
  grep -E '^[^ ].*: (error|warning):' "$report" | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
  echo "check-format: run scripts/check-format.sh --fix" >&2
  exit 1
fi
