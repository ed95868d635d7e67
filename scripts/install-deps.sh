#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.d/*.txt that are missing.
# A second run with nothing missing only asks dpkg once.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(cat "$here"/packages.d/*.txt | sed -e 's/#.*//' -e 's/[[:space:]]//g' | grep -v '^$' | sort -u)
[ ${#wanted[@]} -gt 0 ] || exit 0
installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' "${wanted[@]}" 2>/dev/null | awk '$2 ~ /^ii/ {print $1}' || true)
missing=()
for p in "${wanted[@]}"; do
  grep -qx "$p" <<<"$installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0
echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
lock=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${lock[@]}" update -qq
$sudo apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
