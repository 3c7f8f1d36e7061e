#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the documents under tests/data/docscript/ (optional, not run by CI).

Each document holds Uyghur text in the Arabic script, set the way a Uyghur writer sets it in
an office suite: right-to-left paragraph, table, sheet and page styles, right alignment, the
complex-script font, size, weight and posture, ug-CN as the complex-script language. The
script writes flat XML sources (.fodt, .fods, .fodp) and has LibreOffice save them in the
eight formats, so the documents are what an office suite really writes. MANIFEST lists the
key paragraphs (their source text), the word set half bold, and what each document kept:
LibreOffice drops some things on export (see KEPT below, checked after every export).
Needs: soffice (Debian libreoffice-writer-nogui, -calc-nogui, -impress-nogui).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
from xml.sax.saxutils import escape

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "docscript")

# The key paragraphs, by name. "split" holds the word whose first letters are bold.
TEXT = {
    "heading": "ئۇيغۇر تىلى ۋە يېزىقى",
    "runs": "بۇ جۈملىدە قېنىق، يانتۇ ۋە قىزىل سۆزلەر بار.",
    "split": "ئوقۇغۇچىلار مەكتەپكە باردى.",
    "number": "بۇ پروگرامما 2015-يىلى Windows ئۈچۈن يېزىلغان.",
    "note": "ئىزاھاتنىڭ تېكىستى.",
    "cell1": "مېۋە",
    "cell2": "ئانار",
    "header": "يىللىق دوكلات",
    "footer": "ئۈرۈمچى شەھىرى",
}
SPLIT_WORD, SPLIT_BOLD = "مەكتەپكە", "مەك"  # the word and its bold first part

NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
      'xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
      'office:version="1.3"')
FONTS = ('<office:font-face-decls><style:font-face style:name="UKIJ Tuz" svg:font-family="\'UKIJ Tuz\'"/>'
         '<style:font-face style:name="Liberation Serif" svg:font-family="\'Liberation Serif\'"/>'
         '</office:font-face-decls>')
# What a Uyghur writer's paragraph carries: complex-script font, size and language.
UG = ('style:font-name-complex="UKIJ Tuz" style:language-complex="ug" style:country-complex="CN" '
      'fo:language="en" fo:country="US"')
RTL = 'style:writing-mode="rl-tb" fo:text-align="end"'
# Run styles: only the complex-script values, as the writer's bold and italic buttons set them
# for Arabic text; colour is one value for all scripts.
SPANS = ('<style:style style:name="Bold" style:family="text"><style:text-properties '
         'style:font-weight-complex="bold"/></style:style>'
         '<style:style style:name="Italic" style:family="text"><style:text-properties '
         'style:font-style-complex="italic"/></style:style>'
         '<style:style style:name="Red" style:family="text"><style:text-properties '
         'fo:color="#c9211e"/></style:style>')


def span(style, text):
    return '<text:span text:style-name="%s">%s</text:span>' % (style, escape(text))


def runs_para():
    """The "runs" paragraph: a bold, an italic and a coloured word."""
    t = TEXT["runs"]
    out, rest = [], t
    for word, style in (("قېنىق", "Bold"), ("يانتۇ", "Italic"), ("قىزىل", "Red")):
        before, rest = rest.split(word, 1)
        out += [escape(before), span(style, word)]
    return "".join(out) + escape(rest)


def split_para():
    """The "split" paragraph: one word in two runs, its first letters bold."""
    before, after = TEXT["split"].split(SPLIT_WORD, 1)
    return (escape(before) + span("Bold", SPLIT_BOLD) + span("Italic", SPLIT_WORD[len(SPLIT_BOLD):])
            + escape(after))


def p(style, inner):
    return '<text:p text:style-name="%s">%s</text:p>' % (style, inner)


def fodt():
    styles = ('<office:styles>'
              '<style:default-style style:family="paragraph"><style:text-properties %s '
              'style:font-size-complex="14pt"/></style:default-style>'
              '<style:style style:name="Standard" style:family="paragraph"/>'
              '<style:style style:name="Uyghur" style:display-name="Uyghur" style:family="paragraph" '
              'style:parent-style-name="Standard"><style:paragraph-properties %s/></style:style>'
              '<style:style style:name="Uyghur_20_Heading" style:display-name="Uyghur Heading" '
              'style:family="paragraph" style:parent-style-name="Uyghur" style:default-outline-level="1">'
              '<style:text-properties style:font-size-complex="20pt" style:font-weight-complex="bold"/>'
              '</style:style>%s</office:styles>' % (UG, RTL, SPANS))
    auto = ('<office:automatic-styles>'
            '<style:style style:name="Tbl" style:family="table"><style:table-properties '
            'style:width="12cm" table:align="right" style:writing-mode="rl-tb"/></style:style>'
            '<style:page-layout style:name="Page"><style:page-layout-properties fo:page-width="21cm" '
            'fo:page-height="29.7cm" fo:margin="2cm" style:writing-mode="rl-tb"/>'
            '<style:header-style><style:header-footer-properties fo:min-height="0cm"/></style:header-style>'
            '<style:footer-style><style:header-footer-properties fo:min-height="0cm"/></style:footer-style>'
            '</style:page-layout></office:automatic-styles>')
    master = ('<office:master-styles><style:master-page style:name="Standard" style:page-layout-name="Page">'
              '<style:header>%s</style:header><style:footer>%s</style:footer></style:master-page>'
              '</office:master-styles>' % (p("Uyghur", escape(TEXT["header"])), p("Uyghur", escape(TEXT["footer"]))))
    note = ('<text:note text:id="ftn1" text:note-class="footnote"><text:note-citation>1</text:note-citation>'
            '<text:note-body>%s</text:note-body></text:note>' % p("Uyghur", escape(TEXT["note"])))
    table = ('<table:table table:name="Table1" table:style-name="Tbl"><table:table-column '
             'table:number-columns-repeated="2"/>'
             '<table:table-row><table:table-cell office:value-type="string">%s</table:table-cell>'
             '<table:table-cell office:value-type="string">%s</table:table-cell></table:table-row>'
             '</table:table>' % (p("Uyghur", escape(TEXT["cell1"])), p("Uyghur", escape(TEXT["cell2"]))))
    body = ('<text:h text:style-name="Uyghur_20_Heading" text:outline-level="1">%s</text:h>'
            % escape(TEXT["heading"]) + p("Uyghur", runs_para()) + p("Uyghur", split_para())
            + p("Uyghur", escape(TEXT["number"]) + note) + table)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document %s '
            'office:mimetype="application/vnd.oasis.opendocument.text">%s%s%s%s'
            '<office:body><office:text>%s</office:text></office:body></office:document>\n'
            % (NS, FONTS, styles, auto, master, body))


def cell(style, inner, value=None):
    kind = 'office:value-type="float" office:value="%s"' % value if value else 'office:value-type="string"'
    return '<table:table-cell table:style-name="%s" %s><text:p>%s</text:p></table:table-cell>' % (style, kind, inner)


def fods():
    cells = ('<style:style style:name="Default" style:family="table-cell"><style:paragraph-properties '
             'fo:text-align="end"/><style:text-properties %s style:font-size-complex="12pt"/></style:style>'
             '<style:style style:name="Head" style:family="table-cell" style:parent-style-name="Default">'
             '<style:table-cell-properties fo:background-color="#dee6ef"/><style:text-properties '
             'style:font-weight-complex="bold" style:font-size-complex="14pt"/></style:style>'
             '<style:style style:name="Note" style:family="table-cell" style:parent-style-name="Default">'
             '<style:text-properties style:font-style-complex="italic" fo:color="#c9211e"/></style:style>'
             % UG)
    auto = ('<office:automatic-styles><style:style style:name="Sheet" style:family="table" '
            'style:master-page-name="Default"><style:table-properties table:display="true" '
            'style:writing-mode="rl-tb"/></style:style>%s</office:automatic-styles>' % SPANS)
    rows = [cell("Head", escape(TEXT["heading"])) + cell("Head", escape(TEXT["cell1"])),
            cell("Note", escape(TEXT["cell2"])) + cell("Default", "2015", 2015),
            cell("Default", split_para()) + cell("Default", runs_para()),
            cell("Default", escape(TEXT["number"]))]
    body = "".join("<table:table-row>%s</table:table-row>" % r for r in rows)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document %s '
            'office:mimetype="application/vnd.oasis.opendocument.spreadsheet">%s'
            '<office:styles>%s</office:styles>%s<office:body><office:spreadsheet>'
            '<table:table table:name="%s" table:style-name="Sheet"><table:table-column '
            'table:number-columns-repeated="2"/>%s</table:table></office:spreadsheet></office:body>'
            '</office:document>\n' % (NS, FONTS, cells, auto, escape(TEXT["header"]), body))


def frame(cls, y, inner):
    return ('<draw:frame presentation:class="%s" presentation:style-name="pr1" svg:x="1.5cm" svg:y="%s" '
            'svg:width="25cm" svg:height="3cm"><draw:text-box>%s</draw:text-box></draw:frame>'
            % (cls, y, inner))


def fodp():
    styles = ('<office:styles><style:default-style style:family="graphic"><style:paragraph-properties '
              '%s/><style:text-properties %s style:font-size-complex="24pt"/></style:default-style>'
              '</office:styles>' % (RTL, UG))
    auto = ('<office:automatic-styles><style:page-layout style:name="PM1"><style:page-layout-properties '
            'fo:page-width="28cm" fo:page-height="15.75cm" style:print-orientation="landscape" '
            'style:writing-mode="rl-tb"/></style:page-layout>'
            '<style:style style:name="pr1" style:family="presentation"><style:paragraph-properties %s/>'
            '</style:style>'
            '<style:style style:name="P1" style:family="paragraph"><style:paragraph-properties %s/>'
            '</style:style>%s</office:automatic-styles>' % (RTL, RTL, SPANS))
    master = ('<office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/>'
              '</office:master-styles>')
    slide1 = (frame("title", "1cm", p("P1", escape(TEXT["heading"])))
              + frame("outline", "5cm", p("P1", runs_para()) + p("P1", split_para())))
    slide2 = (frame("title", "1cm", p("P1", escape(TEXT["header"])))
              + frame("outline", "5cm", p("P1", escape(TEXT["number"]))))
    pages = "".join('<draw:page draw:name="page%d" draw:master-page-name="Default">%s</draw:page>' % (i + 1, s)
                    for i, s in enumerate((slide1, slide2)))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document %s '
            'office:mimetype="application/vnd.oasis.opendocument.presentation">%s%s%s%s'
            '<office:body><office:presentation>%s</office:presentation></office:body></office:document>\n'
            % (NS, FONTS, styles, auto, master, pages))


# name, source kind, LibreOffice filter, what the export is checked to keep
WRITER = ["heading", "runs", "split", "number", "note", "cell1", "cell2", "header", "footer"]
SHEET = ["heading", "cell1", "cell2", "runs", "split", "number"]
SLIDES = ["heading", "runs", "split", "header", "number"]
DOCS = [
    ("writer.odt", "fodt", "odt", WRITER),
    ("writer.docx", "fodt", "docx:MS Word 2007 XML", WRITER),
    ("writer.rtf", "fodt", "rtf", WRITER),
    ("writer.html", "fodt", "html:HTML (StarWriter)", WRITER),
    ("calc.ods", "fods", "ods", SHEET),
    ("calc.xlsx", "fods", "xlsx:Calc MS Excel 2007 XML", SHEET),
    ("impress.odp", "fodp", "odp", SLIDES),
    ("impress.pptx", "fodp", "pptx:Impress MS PowerPoint 2007 XML", SLIDES),
]


def text_of(path):
    """The document's text with markup dropped, as a rough check that a paragraph survived."""
    if zipfile.is_zipfile(path):
        with zipfile.ZipFile(path) as z:
            raw = "".join(z.read(n).decode("utf-8", "replace") for n in z.namelist() if n.endswith(".xml"))
    else:
        with open(path, "rb") as f:
            raw = f.read().decode("utf-8", "replace")
    if path.endswith(".rtf"):
        raw = re.sub(r"\\u(-?\d+) ?(\\'[0-9a-f]{2}|\?)?", lambda m: chr(int(m.group(1)) % 65536), raw)
        raw = re.sub(r"\\[a-z]+-?\d* ?|[{}]|\\\*", "", raw)
    return re.sub(r"<[^>]*>", "", raw)


def kept(path, names):
    """The names of the key paragraphs whose text the document holds (each run's text joined)."""
    text = text_of(path)
    flat = re.sub(r"\s+", "", text)
    return [n for n in names if re.sub(r"\s+", "", TEXT[n]) in flat]


def profile_args(tmp):
    profile = os.path.join(tmp, "profile")
    # No preview pictures: they would make the documents larger.
    os.makedirs(os.path.join(profile, "user"))
    with open(os.path.join(profile, "user", "registrymodifications.xcu"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<oor:items xmlns:oor="http://openoffice.org/2001/registry" '
                'xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
                '<item oor:path="/org.openoffice.Office.Common/Save/Document"><prop oor:name="GenerateThumbnail" '
                'oor:op="fuse"><value>false</value></prop></item></oor:items>\n')
    return ["-env:UserInstallation=file://" + profile]


def main():
    soffice = shutil.which("soffice")
    if not soffice:
        sys.exit("make-script-fixtures: soffice not found (apt-get install libreoffice-writer-nogui ...)")
    os.makedirs(OUT, exist_ok=True)
    manifest = ["# Uyghur documents in the Arabic script, made by scripts/make-script-fixtures.py.",
                "# text<TAB>name<TAB>source text of a key paragraph (right to left, right aligned)",
                "# split<TAB>word<TAB>its first letters, set bold (the rest italic)",
                "# file<TAB>name<TAB>the key paragraphs the file holds after LibreOffice's export"]
    manifest += ["text\t%s\t%s" % kv for kv in TEXT.items()]
    manifest.append("split\t%s\t%s" % (SPLIT_WORD, SPLIT_BOLD))
    with tempfile.TemporaryDirectory() as tmp:
        args = profile_args(tmp)
        for kind, make in (("fodt", fodt), ("fods", fods), ("fodp", fodp)):
            with open(os.path.join(tmp, "source." + kind), "w", encoding="utf-8") as f:
                f.write(make())
        for name, kind, filt, names in DOCS:
            src = os.path.join(tmp, {"fodt": "writer", "fods": "calc", "fodp": "impress"}[kind] + "." + kind)
            shutil.copy(os.path.join(tmp, "source." + kind), src)
            outdir = os.path.join(tmp, "out")
            subprocess.run([soffice] + args + ["--headless", "--convert-to", filt, "--outdir", outdir, src],
                           check=True, stdout=subprocess.DEVNULL)
            made = os.path.join(outdir, os.path.splitext(os.path.basename(src))[0] + "." + filt.split(":")[0])
            shutil.move(made, os.path.join(OUT, name))
            have = kept(os.path.join(OUT, name), names)
            lost = [n for n in names if n not in have]
            print("%-14s keeps %s%s" % (name, " ".join(have), ("; lost: " + " ".join(lost)) if lost else ""))
            manifest.append("file\t%s\t%s" % (name, " ".join(have)))
    with open(os.path.join(OUT, "MANIFEST"), "w", encoding="utf-8") as f:
        f.write("\n".join(manifest) + "\n")


if __name__ == "__main__":
    main()
