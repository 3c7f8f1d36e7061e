#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the office documents under tests/data/formats/ (optional, not run by CI).

Each document holds Uyghur text in one legacy encoding (the letters at the code points
that encoding borrows) and is written by LibreOffice from a flat XML source, so the
documents are what an office suite really writes. MANIFEST lists each file with the
direction that recodes it and the Unicode lines its text must hold afterwards.
Needs: soffice (Debian libreoffice-writer-nogui, -calc-nogui, -impress-nogui).
"""
import os
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "formats")

A = {0x0622: 0x0698, 0x0623: 0x06C6, 0x0624: 0x06CB, 0x0626: 0x06D0, 0x0629: 0x06D5,
     0x062B: 0x06AD, 0x062D: 0x0686, 0x0630: 0x06C7, 0x0635: 0x067E, 0x0636: 0x06AF,
     0x0638: 0x0626, 0x0639: 0x0649, 0x0647: 0x06BE, 0x0649: 0x06C8}
B = {0x0623: 0x06C6, 0x0624: 0x06CB, 0x0625: 0x06C8, 0x0626: 0x0649, 0x0629: 0x06D5,
     0x062B: 0x06AD, 0x0630: 0x06C7, 0x0635: 0x06D0, 0x0638: 0x0626, 0x0647: 0x06BE}
C = dict(A)
del C[0x062D]
C[0x0633] = 0x062E
D = dict(B)
D[0x0622] = 0x0698
TABLES = {0: A, 2: B, 4: C, 6: D}

LINES = [
    "ئۇيغۇر تىلى ۋە يېزىقى",
    "بۈگۈن ھاۋا ناھايىتى ئوچۇق",
    "مەكتەپ، كىتاب، ئۆي، ژۇرنال، گۈل، سۆڭەك",
    "خەت يازغۇچى دەپتەرگە يېزىپ قويدى",
]


def legacy(text, direction):
    """The text as the legacy encoding of `direction` stores it."""
    table = TABLES[direction]
    back = {v: k for k, v in table.items()}
    out = []
    for ch in text:
        c = ord(ch)
        if c in table and c not in back:
            raise ValueError("%s cannot be written in direction %d" % (ch, direction))
        out.append(chr(back.get(c, c)))
    return "".join(out)


def lines_for(direction):
    ok = []
    for line in LINES:
        try:
            legacy(line, direction)
            ok.append(line)
        except ValueError:
            pass
    return ok


def fodt(paras):
    body = "".join('<text:p text:style-name="P1">%s</text:p>' % escape(p) for p in paras)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
            'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
            'office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">'
            '<office:automatic-styles><style:style style:name="P1" style:family="paragraph">'
            '<style:paragraph-properties style:writing-mode="rl-tb"/>'
            '<style:text-properties style:font-name-complex="UKIJ Tuz"/></style:style>'
            '</office:automatic-styles>'
            '<office:body><office:text>%s</office:text></office:body></office:document>\n' % body)


NUMBERS = [393, 394, 1574.25, 3.14159, -7, 123456789]


def fods(paras):
    rows = []
    for i, p in enumerate(paras):
        rows.append('<table:table-row><table:table-cell office:value-type="string"><text:p>%s</text:p>'
                    '</table:table-cell><table:table-cell office:value-type="float" office:value="%s">'
                    '<text:p>%s</text:p></table:table-cell></table:table-row>'
                    % (escape(p), NUMBERS[i % len(NUMBERS)], NUMBERS[i % len(NUMBERS)]))
    for n in NUMBERS:
        rows.append('<table:table-row><table:table-cell office:value-type="float" office:value="%s">'
                    '<text:p>%s</text:p></table:table-cell></table:table-row>' % (n, n))
    # The same strings twice: shared strings are stored once.
    rows.append('<table:table-row><table:table-cell office:value-type="string"><text:p>%s</text:p>'
                '</table:table-cell></table:table-row>' % escape(paras[0]))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
            'office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
            '<office:body><office:spreadsheet><table:table table:name="%s">%s</table:table>'
            '</office:spreadsheet></office:body></office:document>\n'
            % (escape(paras[0].split()[0]), "".join(rows)))


def fodp(paras):
    pages = []
    for i, p in enumerate(paras):
        pages.append('<draw:page draw:name="page%d"><draw:frame svg:x="2cm" svg:y="2cm" svg:width="20cm" '
                     'svg:height="3cm"><draw:text-box><text:p>%s</text:p></draw:text-box></draw:frame>'
                     '</draw:page>' % (i + 1, escape(p)))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
            'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
            'office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">'
            '<office:body><office:presentation>%s</office:presentation></office:body></office:document>\n'
            % "".join(pages))


# name, source kind, direction, LibreOffice filter
DOCS = [
    ("writer.docx", "fodt", 0, "docx:MS Word 2007 XML"),
    ("writer.odt", "fodt", 6, "odt"),
    ("writer.doc", "fodt", 0, "doc:MS Word 97"),
    ("writer-sorvan.doc", "fodt", 2, "doc:MS Word 97"),
    ("writer.rtf", "fodt", 6, "rtf"),
    ("writer.html", "fodt", 2, "html:HTML (StarWriter)"),
    ("writer-utf16.txt", "fodt", 4, "txt:Text (encoded):UNICODE,CRLF"),
    ("writer-utf8.txt", "fodt", 0, "txt:Text (encoded):UTF8,LF"),
    ("calc.xlsx", "fods", 2, "xlsx:Calc MS Excel 2007 XML"),
    ("calc.ods", "fods", 0, "ods"),
    ("calc.xls", "fods", 2, "xls:MS Excel 97"),
    ("calc-korveli.xls", "fods", 0, "xls:MS Excel 97"),
    ("impress.pptx", "fodp", 4, "pptx:Impress MS PowerPoint 2007 XML"),
    ("impress.odp", "fodp", 2, "odp"),
    ("impress.ppt", "fodp", 6, "ppt:MS PowerPoint 97"),
]


def main():
    soffice = shutil.which("soffice")
    if not soffice:
        sys.exit("make-fixtures: soffice not found (apt-get install libreoffice-writer-nogui ...)")
    os.makedirs(OUT, exist_ok=True)
    manifest = ["# file<TAB>direction<TAB>Unicode lines its recoded text holds, joined by '|'"]
    with tempfile.TemporaryDirectory() as tmp:
        profile = "-env:UserInstallation=file://" + os.path.join(tmp, "profile")
        # No preview pictures: they would make the documents hundreds of KB larger.
        os.makedirs(os.path.join(tmp, "profile", "user"))
        with open(os.path.join(tmp, "profile", "user", "registrymodifications.xcu"), "w") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<oor:items xmlns:oor="http://openoffice.org/2001/registry" '
                    'xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
                    '<item oor:path="/org.openoffice.Office.Common/Save/Document"><prop oor:name="GenerateThumbnail" '
                    'oor:op="fuse"><value>false</value></prop></item></oor:items>\n')
        for name, kind, direction, filt in DOCS:
            lines = lines_for(direction)
            text = [legacy(l, direction) for l in lines]
            src = os.path.join(tmp, os.path.splitext(name)[0] + "." + kind)
            with open(src, "w", encoding="utf-8") as f:
                f.write({"fodt": fodt, "fods": fods, "fodp": fodp}[kind](text))
            outdir = os.path.join(tmp, "out")
            subprocess.run([soffice, profile, "--headless", "--convert-to", filt, "--outdir", outdir, src],
                           check=True, stdout=subprocess.DEVNULL)
            made = os.path.join(outdir, os.path.splitext(os.path.basename(src))[0] + "." + filt.split(":")[0])
            shutil.move(made, os.path.join(OUT, name))
            manifest.append("%s\t%d\t%s" % (name, direction, "|".join(lines)))
    with open(os.path.join(OUT, "MANIFEST"), "w", encoding="utf-8") as f:
        f.write("\n".join(manifest) + "\n")


if __name__ == "__main__":
    main()
