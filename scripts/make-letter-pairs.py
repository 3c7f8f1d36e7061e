#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds the letter-pair table of the encoding detector from real Uyghur words.

The words come from the Uyghur word list of Debian's tesseract-ocr-uig data, unpacked
with the tools of tesseract-ocr (combine_tessdata, dawg2wordlist). Words made only of
the 33 letters of the Uyghur alphabet and holding at least one letter that only Uyghur
spelling uses are kept. One word in ten (chosen by a hash of the word) is held out of
the table; a sample of those goes to tests/data/detect/heldout-words.txt, from which
the tests build their documents.

Writes recoder/formats/letter_pairs.inc: the letters and, for each class (33 letters and one
"other" class for word boundaries), the natural log-probabilities of the next class.
Optional: the build does not run this; its output is committed.

    apt-get install tesseract-ocr tesseract-ocr-uig
    python3 scripts/make-letter-pairs.py
"""
import math
import os
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TRAINEDDATA = "/usr/share/tesseract-ocr/5/tessdata/uig.traineddata"

# The Uyghur alphabet in its usual order, the hamza carrier last.
LETTERS = [0x0627, 0x06D5, 0x0628, 0x067E, 0x062A, 0x062C, 0x0686, 0x062E, 0x062F,
           0x0631, 0x0632, 0x0698, 0x0633, 0x0634, 0x063A, 0x0641, 0x0642, 0x0643,
           0x06AF, 0x06AD, 0x0644, 0x0645, 0x0646, 0x06BE, 0x0648, 0x06C7, 0x06C6,
           0x06C8, 0x06CB, 0x06D0, 0x0649, 0x064A, 0x0626]
# Letters of Uyghur spelling that Arabic and Persian words lack.
UYGHUR_ONLY = {0x06D5, 0x067E, 0x0686, 0x0698, 0x06AF, 0x06AD, 0x06BE, 0x06C7, 0x06C6,
               0x06C8, 0x06CB, 0x06D0, 0x0649, 0x0626}
HELD_OUT_SAMPLE = 3000


def read_words():
    with tempfile.TemporaryDirectory() as tmp:
        prefix = os.path.join(tmp, "uig.")
        subprocess.run(["combine_tessdata", "-u", TRAINEDDATA, prefix], check=True,
                       stdout=subprocess.DEVNULL)
        out = os.path.join(tmp, "words.txt")
        subprocess.run(["dawg2wordlist", prefix + "lstm-unicharset", prefix + "lstm-word-dawg", out],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(out, encoding="utf-8") as f:
            return [w.strip() for w in f if w.strip()]


def main():
    letters = set(LETTERS)
    words = sorted({w for w in read_words()
                    if len(w) >= 2 and all(ord(c) in letters for c in w)
                    and any(ord(c) in UYGHUR_ONLY for c in w)})
    held = [w for w in words if zlib.crc32(w.encode()) % 10 == 0]
    train = [w for w in words if zlib.crc32(w.encode()) % 10 != 0]

    index = {cp: i for i, cp in enumerate(LETTERS)}
    other = len(LETTERS)
    n = other + 1
    counts = [[0] * n for _ in range(n)]
    for w in train:
        seq = [other] + [index[ord(c)] for c in w] + [other]
        for a, b in zip(seq, seq[1:]):
            counts[a][b] += 1
    counts[other][other] = 0  # boundaries are collapsed by the detector

    lines = []
    for a in range(n):
        total = sum(counts[a]) + 0.5 * n
        lines.append("    {" + ", ".join("%.3ff" % math.log((counts[a][b] + 0.5) / total)
                                         for b in range(n)) + "},")
    with open(os.path.join(ROOT, "recoder", "formats", "letter_pairs.inc"), "w", encoding="utf-8") as f:
        f.write("// Made by scripts/make-letter-pairs.py from %d Uyghur words of the\n" % len(train))
        f.write("// tesseract-ocr-uig word list; do not edit by hand.\n")
        f.write("// Letters of the Uyghur alphabet; class %d is everything else (word boundaries).\n" % other)
        f.write("inline constexpr char16_t kUyghurLetters[%d] = {\n    " % len(LETTERS))
        f.write(", ".join("0x%04X" % cp for cp in LETTERS) + "};\n")
        f.write("// kLetterPairLogProb[a][b]: natural log of P(next class b | class a), add-half smoothed.\n")
        f.write("inline constexpr float kLetterPairLogProb[%d][%d] = {\n" % (n, n))
        f.write("\n".join(lines) + "\n};\n")

    sample = held[:: max(1, len(held) // HELD_OUT_SAMPLE)][:HELD_OUT_SAMPLE]
    os.makedirs(os.path.join(ROOT, "tests", "data", "detect"), exist_ok=True)
    with open(os.path.join(ROOT, "tests", "data", "detect", "heldout-words.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(sample) + "\n")
    print("%d words: %d in the table, %d held out (%d in the test sample)"
          % (len(words), len(train), len(held), len(sample)), file=sys.stderr)


if __name__ == "__main__":
    main()
