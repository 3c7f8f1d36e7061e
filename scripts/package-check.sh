#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the default build, installs it with apt-get and proves
# the installed programs start: uyconv answers --version, each window program runs
# under Xvfb for a few seconds without exiting.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
rm -f build/default/uyghur-tools_*.deb
(cd build/default && cpack -G DEB >/dev/null)
deb=$(ls build/default/uyghur-tools_*.deb)

# What a distribution would check: lintian with no error or warning, valid desktop
# entries and metadata.
echo "package-check: lintian $deb"
lintian_out=$(lintian --allow-root --tag-display-limit 0 "$deb" 2>&1 || true)
if printf '%s\n' "$lintian_out" | grep -E '^[EW]: ' >&2; then
  echo "package-check: lintian reports errors or warnings" >&2
  exit 1
fi
desktop-file-validate packaging/*.desktop
appstreamcli validate --no-net --pedantic packaging/*.metainfo.xml >/dev/null
echo "package-check: installing $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null

/usr/bin/uyconv --version
for program in docrecode uyedit; do
  if dpkg -L uyghur-tools | grep -qx "/usr/bin/$program"; then
    status=0
    timeout 5 xvfb-run -a -s "-screen 0 1024x768x24" "/usr/bin/$program" || status=$?
    if [ "$status" -ne 124 ]; then
      echo "package-check: $program exited with status $status instead of running" >&2
      exit 1
    fi
    echo "package-check: $program started and ran"
  fi
done
