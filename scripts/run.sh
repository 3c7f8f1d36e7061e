#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds and starts a program.
# Usage: scripts/run.sh [uyedit|docrecode|uyconv] [ARGS...]   (default: uyedit)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

program=${1:-uyedit}
[ $# -gt 0 ] && shift
bin=build/default
case "$program" in
  uyconv) exec "$bin/tools/uyconv/uyconv" "$@" ;;
  uyedit) exe="$bin/editor/window/uyedit" ;;
  docrecode) exe="$bin/recoder/window/docrecode" ;;
  *) echo "run.sh: unknown program '$program' (uyedit, docrecode or uyconv)" >&2; exit 2 ;;
esac

if [ ! -x "$exe" ]; then
  echo "run.sh: $program is not built yet; showing uyconv instead" >&2
  exec "$bin/tools/uyconv/uyconv" --help
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display found; starting $program under Xvfb (a virtual screen of 1024x768)" >&2
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$exe" "$@"
fi
exec "$exe" "$@"
