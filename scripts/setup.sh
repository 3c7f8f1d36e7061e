#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages this project needs, and nothing else.
# Idempotent: runs apt-get (update included) only when something is missing.
set -euo pipefail

packages=(
  # toolchain and build
  g++ cmake make pkg-config git dpkg-dev file
  # tests and benchmarks
  libgtest-dev libgmock-dev
  # bidi conformance cases for the export test
  unicode-data
  # libraries
  qt6-base-dev libicu-dev libzip-dev zlib1g-dev libexpat1-dev
  # the windows' translations: qt_add_translations, lupdate and lrelease; Qt's own texts
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  # loading the generated keyboard through the m17n library in a test
  libm17n-dev m17n-db
  # benchmark baseline only
  libfribidi-dev
  # fuzzing
  clang libclang-rt-14-dev
  # the Debian package: manual pages, and the checks it must pass
  help2man lintian desktop-file-utils appstream
  # running the window programs without a display, opening files, Uyghur fonts
  xvfb xauth xfonts-base xdg-utils fonts-ukij-uyghur fonts-dejavu-core
  # driving the open dialog with real key presses and clicks in a test
  xdotool
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
