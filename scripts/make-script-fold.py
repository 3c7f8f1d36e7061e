#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes script/fold_table.inc: the Arabic presentation forms (U+FB50-FDFF, U+FE70-FEFE)
whose compatibility decomposition is made of Arabic letters and marks only, each with the
letters it shows (3690/3691/3689 §6.1.1: forms are folded before conversion). Forms that
decompose to a space and a mark (the isolated harakat) are left out: they stay as they are.

    python3 scripts/make-script-fold.py
"""
import os
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RANGES = [(0xFB50, 0xFE00), (0xFE70, 0xFEFF)]


def main():
    pool, rows = [], []
    for lo, hi in RANGES:
        for cp in range(lo, hi):
            d = unicodedata.decomposition(chr(cp)).split()
            if d and d[0].startswith("<"):
                d = d[1:]
            parts = [int(x, 16) for x in d]
            if parts and all(0x0620 <= p <= 0x06FF for p in parts):
                rows.append((cp, len(pool), len(parts)))
                pool.extend(parts)
            else:
                rows.append((cp, 0, 0))
    with open(os.path.join(ROOT, "script", "fold_table.inc"), "w", encoding="utf-8") as f:
        f.write("// Made by scripts/make-script-fold.py (Unicode %s); do not edit by hand.\n"
                % unicodedata.unidata_version)
        f.write("// kFoldPool: the letters; kFold[cp - first]: {offset, length}, length 0 = kept.\n")
        f.write("inline constexpr char16_t kFoldPool[%d] = {\n" % len(pool))
        for i in range(0, len(pool), 12):
            f.write("    " + ", ".join("0x%04X" % p for p in pool[i:i + 12]) + ",\n")
        f.write("};\n")
        for name, (lo, hi) in zip(("A", "B"), RANGES):
            sel = [r for r in rows if lo <= r[0] < hi]
            f.write("inline constexpr FoldEntry kFold%s[%d] = {  // U+%04X-%04X\n" % (name, len(sel), lo, hi - 1))
            for i in range(0, len(sel), 8):
                f.write("    " + " ".join("{%d, %d}," % (o, n) for _, o, n in sel[i:i + 8]) + "\n")
            f.write("};\n")


if __name__ == "__main__":
    main()
