#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Converts the documents of tests/data/docscript/ and checks the results in LibreOffice (optional, not run by CI).

Each document goes to Latin and Cyrillic with the built `uyconv script --to uly|uky -o` and
back to the Arabic script; LibreOffice reopens the source and every output (saved again as
flat XML) and the script reads what LibreOffice made of them: each key paragraph of MANIFEST
with its text as `uyconv script` converts it, left to right and start aligned (right to left
and right aligned in the Arabic script), tables and sheets turned with it, and the half-bold
word bold at the corresponding letters. Prints a table; exits 1 when a check fails. Documents
uyconv refuses are listed as refused.
Needs: soffice (Debian libreoffice-writer-nogui, -calc-nogui, -impress-nogui) and a built
uyconv (build/default, or --uyconv PATH).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
DATA = os.path.join(ROOT, "tests", "data", "docscript")
NS = {
    "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
    "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
    "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
    "draw": "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0",
    "presentation": "urn:oasis:names:tc:opendocument:xmlns:presentation:1.0",
}
FLAT = {".odt": "fodt", ".docx": "fodt", ".rtf": "fodt", ".html": "fodt",
        ".ods": "fods", ".xlsx": "fods", ".odp": "fodp", ".pptx": "fodp"}


def q(name):
    prefix, local = name.split(":")
    return "{%s}%s" % (NS[prefix], local)


def manifest():
    text, split, keys = {}, None, {}
    with open(os.path.join(DATA, "MANIFEST"), encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if parts[0] == "text":
                text[parts[1]] = parts[2]
            elif parts[0] == "split":
                split = (parts[1], parts[2])
            elif parts[0] == "file":
                keys[parts[1]] = parts[2].split() if len(parts) > 2 else []
    return text, split, keys


class Styles:
    """Styles of a flat ODF document: each property looked up from the innermost style
    outwards, each through its parents, then the default styles and the page layout."""

    def __init__(self, root):
        self.styles, layouts, self.page_mode = {}, {}, ""
        for group in list(root.iter(q("office:styles"))) + list(root.iter(q("office:automatic-styles"))):
            for s in group:
                if s.tag in (q("style:style"), q("style:default-style")):
                    props = {}
                    for p in s:
                        if p.tag.endswith("-properties"):
                            props.update({k.split("}")[1]: v for k, v in p.attrib.items()})
                    key = (s.get(q("style:family")), s.get(q("style:name"), ""))
                    self.styles[key] = (s.get(q("style:parent-style-name"), ""), props)
                elif s.tag == q("style:page-layout"):
                    p = s.find(q("style:page-layout-properties"))
                    layouts[s.get(q("style:name"))] = "" if p is None else p.get(q("style:writing-mode"), "")
        # The page layout of the master page the body starts with (the first one when none is named).
        used = [s.get(q("style:master-page-name")) for s in root.iter(q("style:style")) if s.get(q("style:master-page-name"))]
        for m in root.iter(q("style:master-page")):
            if not used or m.get(q("style:name")) == used[0]:
                self.page_mode = layouts.get(m.get(q("style:page-layout-name")), "")
                break

    def chain(self, family, name, key):
        for _ in range(20):
            if not name or (family, name) not in self.styles:
                return ""
            parent, props = self.styles[(family, name)]
            if props.get(key, "page") != "page":
                return props[key]
            name = parent
        return ""

    def lookup(self, stack, key):
        for family, name in reversed(stack):
            v = self.chain(family, name, key)
            if v:
                return v
        for family, _ in reversed(stack):
            v = self.styles.get((family, ""), ("", {}))[1].get(key, "page")
            if v != "page":
                return v
        return ""

    def rtl(self, stack):
        return (self.lookup(stack, "writing-mode") or self.page_mode).startswith("rl")

    def bold(self, stack, key):
        w = self.lookup(stack, key)
        return w == "bold" or (len(w) == 3 and w[0] in "6789")


def arabic(ch):
    return "\u0600" <= ch <= "\u06ff" or "\ufb50" <= ch <= "\ufdff" or "\ufe70" <= ch <= "\ufefe"


SKIPPED = {q("text:note-citation"), q("office:annotation"), q("text:tracked-changes"), q("presentation:notes")}
STYLE_ATTRS = [("table:style-name", None), ("presentation:style-name", "presentation"),
               ("draw:style-name", "graphic"), ("draw:text-style-name", "paragraph"), ("text:style-name", None)]
FAMILY = {q("table:table"): "table", q("table:table-cell"): "table-cell", q("text:span"): "text"}


def paragraphs(path):
    """(text, bold per character, rtl, align L/R/C/J, in a right-to-left table) of each paragraph
    LibreOffice laid out."""
    root = ET.parse(path).getroot()
    st = Styles(root)
    out, stack, tables = [], [], []

    def add(para, s):
        w, c = st.bold(stack, "font-weight"), st.bold(stack, "font-weight-complex")
        para[0].append(s)
        para[1].extend(c if arabic(ch) else w for ch in s)

    def walk(el, para):
        if el.tag in SKIPPED:
            return
        depth = len(stack)
        for attr, family in STYLE_ATTRS:
            name = el.get(q(attr))
            if name:
                stack.append((family or FAMILY.get(el.tag, "paragraph"), name))
        if el.tag == q("table:table-cell") and not el.get(q("table:style-name")):
            stack.append(("table-cell", "Default"))
        if el.tag == q("table:table"):
            tables.append(st.rtl(stack))
        if el.tag in (q("text:p"), q("text:h")):
            para = ([], [])
        if para is not None:
            if el.tag == q("text:s"):
                add(para, " " * int(el.get(q("text:c"), "1")))
            elif el.tag == q("text:tab"):
                add(para, "\t")
            if el.text:
                add(para, el.text)
        for kid in el:
            walk(kid, para)
            if para is not None and kid.tail:
                add(para, kid.tail)
        if el.tag in (q("text:p"), q("text:h")):
            a = st.lookup(stack, "text-align")
            align = "R" if a in ("end", "right") else "C" if a == "center" else "J" if a == "justify" else "L"
            text = "".join(para[0])
            if text.strip():
                out.append((text, para[1], st.rtl(stack), align, bool(tables and tables[-1])))
        if el.tag == q("table:table"):
            tables.pop()
        del stack[depth:]

    for tag in ("office:master-styles", "office:body"):
        for el in root.iter(q(tag)):
            walk(el, None)
    return out


def collapse(para):
    """The paragraph's text with runs of white space as one space and trimmed, and its bold flags."""
    text, flags = [], []
    for ch, b in zip(para[0], para[1]):
        if ch.isspace() and (not text or text[-1] == " "):
            continue
        text.append(" " if ch.isspace() else ch)
        flags.append(b)
    while text and text[-1] == " ":
        text.pop()
        flags.pop()
    return "".join(text), flags


def find(paras, text):
    for p in paras:
        flat, flags = collapse(p)
        if text in flat:
            return p, flat, flags
    return None, "", []


def to_script(uyconv, text, target, source="uey"):
    r = subprocess.run([uyconv, "script", "--from", source, "--to", target], input=text.encode(),
                       stdout=subprocess.PIPE, check=True)
    return r.stdout.decode().rstrip("\n")


def view(paras, keys, text, expect):
    """Per key paragraph: (rtl, align, in a right-to-left table, text, bold flags), or None."""
    out = {}
    for k in keys:
        want = expect(text[k])
        p, flat, flags = find(paras, want)
        out[k] = None if p is None else (p[2], p[3], p[4], flat, flags)
    return out


def check(got, source, split, expect, turned):
    """Problems of a reopened document against LibreOffice's view of its source: turned, left to
    right and start aligned where the source is right to left and right aligned; or as the source."""
    problems = []
    for k, v in got.items():
        if v is None:
            problems.append("%s: text not found" % k)
            continue
        src = source[k]
        if src is None or src[:2] != (True, "R"):
            continue  # LibreOffice does not read the source as written (noted above)
        want = (False, "L", False) if turned else src[:3]
        if v[:3] != want:
            problems.append("%s: %s %s%s" % (k, "rtl" if v[0] else "ltr", v[1], " rtl-table" if v[2] else ""))
        if k == "split":
            word, first = expect(split[0]), expect(split[1])
            w = v[3].find(word)
            got_bold = v[4][w:w + len(word)]
            letters = [b for ch, b in zip(word, got_bold) if ch.isalpha()]
            wanted = [i < len(first) for i, ch in enumerate(word) if ch.isalpha()]
            if w < 0 or not word.startswith(first) or letters != wanted:
                problems.append("split: bold %s" % "".join("b" if b else "." for b in got_bold))
    return problems


def source_notes(source):
    """Key paragraphs LibreOffice does not read right to left and right aligned in the source."""
    return ["%s: %s %s" % (k, "rtl" if v[0] else "ltr", v[1]) if v else "%s: text not found" % k
            for k, v in source.items() if v is None or v[:2] != (True, "R")]


def reopen(soffice, profile, path, outdir):
    args = [soffice, profile, "--headless"]
    if path.endswith(".html"):
        args.append("--infilter=HTML (StarWriter)")
    flat = FLAT[os.path.splitext(path)[1]]
    subprocess.run(args + ["--convert-to", flat, "--outdir", outdir, path], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return os.path.join(outdir, os.path.splitext(os.path.basename(path))[0] + "." + flat)


def convert(uyconv, target, src, out):
    """Runs uyconv; when it cannot tell the script, again with --from uey. (error, note)."""
    r = subprocess.run([uyconv, "script", "--to", target, "-o", out, src], stderr=subprocess.PIPE)
    if r.returncode == 0:
        return None, ""
    why = r.stderr.decode().strip().splitlines()[-1]
    if "give --from" not in why:
        return why, ""
    r = subprocess.run([uyconv, "script", "--from", "uey", "--to", target, "-o", out, src], stderr=subprocess.PIPE)
    return (r.stderr.decode().strip() if r.returncode else None), "script not told, --from given (%s)" % why


def run_one(ctx, name, target, source):
    """The outcome of one document and one script: ok, refused or the problems found."""
    uyconv, soffice, profile, tmp, text, split, keys = ctx
    stem, ext = os.path.splitext(name)
    out = os.path.join(tmp, "%s-%s%s" % (stem, target, ext))
    back = os.path.join(tmp, "%s-%s-back%s" % (stem, target, ext))
    error, note = convert(uyconv, target, os.path.join(DATA, name), out)
    if error:
        return "refused", error
    r = subprocess.run([uyconv, "script", "--from", target, "--to", "uey", "-o", back, out], stderr=subprocess.PIPE)
    if r.returncode != 0:
        return "FAIL", "back: " + r.stderr.decode().strip()
    memo = {}

    def expect(s):
        if s not in memo:
            memo[s] = to_script(uyconv, s, target)
        return memo[s]

    got = view(paragraphs(reopen(soffice, profile, out, tmp)), keys[name], text, expect)
    problems = check(got, source, split, expect, True)
    got = view(paragraphs(reopen(soffice, profile, back, tmp)), keys[name], text, lambda s: s)
    problems += ["back " + p for p in check(got, source, split, lambda s: s, False)]
    details = "; ".join(([note] if note else []) + problems)
    return ("FAIL" if problems else "ok"), details


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--uyconv", default=os.path.join(ROOT, "build", "default", "tools", "uyconv", "uyconv"))
    ap.add_argument("--only", help="one document of the folder, e.g. writer.docx")
    args = ap.parse_args()
    soffice = shutil.which("soffice")
    if not soffice:
        sys.exit("check-script-fixtures: soffice not found (apt-get install libreoffice-writer-nogui ...)")
    if not os.access(args.uyconv, os.X_OK):
        sys.exit("check-script-fixtures: %s is not built" % args.uyconv)
    text, split, keys = manifest()
    failed = False
    with tempfile.TemporaryDirectory() as tmp:
        profile = "-env:UserInstallation=file://" + os.path.join(tmp, "profile")
        ctx = (args.uyconv, soffice, profile, tmp, text, split, keys)
        print("%-14s %-4s %-8s %s" % ("document", "to", "result", "details"))
        for name in sorted(keys):
            if args.only and name != args.only:
                continue
            source = view(paragraphs(reopen(soffice, profile, os.path.join(DATA, name), tmp)), keys[name], text,
                          lambda s: s)
            notes = source_notes(source)
            # What LibreOffice itself does not read as written is noted, and checked as it reads it.
            print("%-14s %-4s %-8s %s" % (name, "uey", "noted" if notes else "ok", "; ".join(notes)))
            for target in ("uly", "uky"):
                result, details = run_one(ctx, name, target, source)
                print("%-14s %-4s %-8s %s" % (name, target, result, details), flush=True)
                failed |= result == "FAIL"
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
