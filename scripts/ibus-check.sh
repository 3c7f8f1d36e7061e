#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Proves that ibus finds the generated input methods: starts ibus-daemon in a private D-Bus
# session with a private home whose ~/.m17n.d holds the .mim files of the default build,
# and looks for their engines in `ibus list-engine`. Not part of the test suite or CI: it
# needs ibus and ibus-m17n, which it installs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
mim_dir=build/default/m17n
engines=()
for mim in "$mim_dir"/ug-*.mim; do
  [ -e "$mim" ] || { echo "ibus-check: no .mim in $mim_dir; build the target uy_m17n first" >&2; exit 1; }
  name=$(basename "$mim" .mim)
  engines+=("m17n:ug:${name#ug-}")
done

missing=()
for p in ibus ibus-m17n; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)" = installed ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "ibus-check: installing ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.m17n.d"
cp "$mim_dir"/ug-*.mim "$home/.m17n.d/"

# Inside the private session: start the daemon, wait until it answers, list the engines.
list=$(HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
  dbus-run-session -- bash -c '
    ibus-daemon --panel=disable --emoji-extension=disable --xim=false --daemonize --replace
    for _ in $(seq 50); do ibus list-engine >/dev/null 2>&1 && break; sleep 0.2; done
    ibus list-engine
    ibus exit >/dev/null 2>&1 || true')

status=0
for engine in "${engines[@]}"; do
  if line=$(printf '%s\n' "$list" | grep -F -- "$engine -"); then
    echo "ibus-check: found$line"
  else
    echo "ibus-check: ibus does not list $engine" >&2
    status=1
  fi
done
exit $status

