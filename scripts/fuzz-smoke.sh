#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz preset and runs every harness for a short while on a copy of its seed
# corpus (the committed corpus is never changed). Exits non-zero if any harness finds a
# crash, a broken property, a leak or a hang; the failing inputs are kept under
# build/fuzz/findings/HARNESS/.
# Usage: scripts/fuzz-smoke.sh [SECONDS [HARNESS...]]   (default: 20 seconds, every harness)
# Every folder in fuzz/corpus is a harness of the same name.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
seconds=${1:-20}
shift || true
if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  harnesses=()
  for dir in fuzz/corpus/*/; do harnesses+=("$(basename "$dir")"); done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=()
for name in "${harnesses[@]}"; do
  program=build/fuzz/fuzz/$name
  if [ ! -x "$program" ]; then
    echo "fuzz-smoke: $name: no harness program at $program" >&2
    failed+=("$name")
    continue
  fi
  cp -r "fuzz/corpus/$name" "$work/$name"
  findings=build/fuzz/findings/$name
  mkdir -p "$findings"
  log=$work/$name.log
  status=0
  "$program" "$work/$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ "$status" -ne 0 ]; then
    echo "fuzz-smoke: $name: FINDING (exit $status), input kept in $findings/" >&2
    grep -v '^INFO:' "$log" | tail -n 40 >&2
    failed+=("$name")
  else
    echo "fuzz-smoke: $name: ${execs:-?} runs in ${seconds} s, no finding"
    rmdir "$findings" 2>/dev/null || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz-smoke: findings in: ${failed[*]}" >&2
  exit 1
fi
