#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Optional: rewrites the office documents under tests/data/formats/ with LibreOffice.
# CI does not run this and does not need LibreOffice; the documents are committed.
set -euo pipefail
exec python3 "$(dirname "$0")/make-fixtures.py" "$@"
