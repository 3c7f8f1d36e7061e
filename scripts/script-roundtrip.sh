#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Round trip of every Uyghur-shaped word (it starts with a consonant or the carrier, and every
# carrier stands before a vowel) of the tesseract-ocr-uig word list, which
# scripts/make-letter-pairs.py unpacks, through uyconv script: UEY -> ULY -> UEY, UEY -> UKY ->
# UEY, UEY -> UYY -> UEY. Prints the counts and the words that do not come back.
# Optional (the tests run the same over tests/data/detect/heldout-words.txt); it needs
#   apt-get install tesseract-ocr tesseract-ocr-uig
# Usage: scripts/script-roundtrip.sh [UYCONV]   (default: build/default/tools/uyconv/uyconv)
set -euo pipefail
cd "$(dirname "$0")/.."
uyconv=${1:-build/default/tools/uyconv/uyconv}
python3 - "$uyconv" <<'PY'
import runpy, subprocess, sys
# The word list and letters of the letter-pair script, without running it.
lp = runpy.run_path("scripts/make-letter-pairs.py")
LETTERS = set(lp["LETTERS"])
VOWELS = {0x0627, 0x06D5, 0x0648, 0x06C7, 0x06C6, 0x06C8, 0x06D0, 0x0649}
CARRIER = 0x0626

def shaped(w):
    if not w or not all(ord(c) in LETTERS for c in w) or ord(w[0]) in VOWELS:
        return False
    return all(ord(c) != CARRIER or (i + 1 < len(w) and ord(w[i + 1]) in VOWELS) for i, c in enumerate(w))

words = sorted({w for w in lp["read_words"]() if shaped(w)})
print(f"{len(words)} Uyghur-shaped words")
def run(args, text):
    return subprocess.run([sys.argv[1], "script"] + args, input=text.encode(), check=True,
                          stdout=subprocess.PIPE).stdout.decode().split("\n")
text = "\n".join(words) + "\n"
failed = 0
for s in ("uly", "uky", "uyy"):
    there = run(["--from", "uey", "--to", s], text)
    back = run(["--from", s, "--to", "uey"], "\n".join(there))
    bad = [(w, t, b) for w, t, b in zip(words, there, back) if w != b]
    failed += len(bad)
    print(f"uey -> {s} -> uey: {len(words) - len(bad)} of {len(words)} come back")
    for w, t, b in bad[:20]:
        print(f"  {w} -> {t} -> {b}")
sys.exit(1 if failed else 0)
PY
