#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The window programs answer --help and --version, and report a wrong option, with no
# display at all: usage: command_line_test.sh VERSION PROGRAM...
set -u
version=$1
shift
status=0
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
fail() { echo "FAIL $*" >&2; status=1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" >"$out" 2>"$err"; }

for program in "$@"; do
  name=$(basename "$program")
  # args | exit status | what stdout starts with (empty: nothing) | what stderr holds
  while IFS='|' read -r args code stdout stderr; do
    # shellcheck disable=SC2086
    run "$program" $args
    got=$?
    [ "$got" = "$code" ] || fail "$name $args: exit $got, not $code: $(cat "$err")"
    if [ -n "$stdout" ]; then
      head -c ${#stdout} "$out" | grep -qxF "$stdout" || fail "$name $args: stdout $(head -c 80 "$out")"
    else
      [ ! -s "$out" ] || fail "$name $args: wrote to stdout"
    fi
    [ -z "$stderr" ] || grep -qF "$stderr" "$err" || fail "$name $args: stderr $(cat "$err")"
  done <<TABLE
--help|0|Usage: $name [options]|
-h|0|Usage: $name [options]|
--version|0|$name $version|
-platform offscreen --version|0|$name $version|
-style=fusion -v|0|$name $version|
--no-such-option|2||Unknown option 'no-such-option'
-x|2||Unknown option 'x'
TABLE
done
exit $status
