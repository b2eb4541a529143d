#!/usr/bin/env python3
"""Writes an OOXML workbook whose newest record's memo is one shared string of SIZE MB.

usage: long_memo_workbook.py OUT [SIZE_MB]

Records 0-4 in ID, COGS and LANDMARK (0-3 are the demonstration records every start restores);
record 4 (row 7), the newest, has the long memo in ID column D.
The string is streamed into the package, so making a 300 MB memo takes little memory. Save the
result as PONDERA2D_2010.xls (the program reads OOXML under that name) to check that a start
with such a memo cuts it to what a cell holds and keeps the original beside the new file.
"""
import sys
import zipfile

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"


def sheet(rows):
    body = "".join(
        '<row r="%d">%s</row>' % (r, "".join(cells)) for r, cells in rows)
    return '<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>' % (MAIN, body)


def main():
    out = sys.argv[1]
    size_mb = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    names = ["ID", "COGS", "LANDMARK"]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, allowZip64=True) as z:
        z.writestr("_rels/.rels",
                   '<Relationships xmlns="%s"><Relationship Id="rId1" Type="%s/officeDocument" '
                   'Target="xl/workbook.xml"/></Relationships>' % (PKG, REL))
        z.writestr("xl/workbook.xml",
                   '<workbook xmlns="%s" xmlns:r="%s"><sheets>%s</sheets></workbook>' %
                   (MAIN, REL, "".join('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' %
                                       (n, i + 1, i + 1) for i, n in enumerate(names))))
        rels = "".join('<Relationship Id="rId%d" Type="%s/worksheet" Target="worksheets/sheet%d.xml"/>'
                       % (i + 1, REL, i + 1) for i in range(3))
        rels += '<Relationship Id="rId9" Type="%s/sharedStrings" Target="sharedStrings.xml"/>' % REL
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<Relationships xmlns="%s">%s</Relationships>' % (PKG, rels))
        codes = [(r, ['<c r="A%d"><v>%d</v></c>' % (r, r - 3)]) for r in range(3, 8)]
        id_rows = [(r, cells + ['<c r="C%d"><v>0</v></c>' % r]) for r, cells in codes]
        id_rows[-1][1].append('<c r="D7" t="s"><v>0</v></c>')
        for i, rows in enumerate([id_rows, codes, codes]):
            z.writestr("xl/worksheets/sheet%d.xml" % (i + 1), sheet(rows))
        with z.open("xl/sharedStrings.xml", "w", force_zip64=True) as f:
            f.write(('<sst xmlns="%s"><si><t>' % MAIN).encode())
            chunk = ("long memo " * 100000).encode()  # 1 MB
            for _ in range(size_mb):
                f.write(chunk)
            f.write(b"</t></si></sst>")


if __name__ == "__main__":
    main()
