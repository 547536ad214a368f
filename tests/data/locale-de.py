#!/usr/bin/env python3
"""Writes locale-de.xlsx: numbers and dates through the formats whose displayed text follows
the user's locale (built-in ids, system date and time codes, locale tags, currencies).

    python3 tests/data/locale-de.py tests/data/locale-de.xlsx

Column A names the format, column B holds the value shown through it. The zip entries carry
a fixed date, so the same script gives the same bytes.
"""
import sys
import zipfile
from xml.sax.saxutils import escape

# (label, built-in id or custom code, value)
ROWS = [
    ("General", 0, 1234.5),
    ("General fraction", 0, 0.125),
    ("General negative", 0, -42),
    ("General small", 0, 0.000123),
    ("0.00", 2, 3.14159),
    ("#,##0", 3, 1234567),
    ("#,##0.00", 4, 1234.5),
    ("#,##0.00 negative", 4, -9876543.21),
    ("0%", 9, 0.5),
    ("0.00%", 10, 0.1234),
    ("0.00E+00", 11, 12345),
    ("short date 14", 14, 44439),
    ("short date 14 leap day", 14, 45351),
    ("time 20", 20, 0.75),
    ("time 21", 21, 0.52084490740740740),
    ("date and time 22", 22, 44439.75),
    ("euro after", "#,##0.00\\ [$\u20ac-407]", 1234.5),
    ("euro before", "[$\u20ac-407]\\ #,##0.00;[Red]\\-[$\u20ac-407]\\ #,##0.00", -2.25),
    ("dollar", "\"$\"#,##0.00", 1234.5),
    ("en-US tag", "[$-409]#,##0.00", 1234.5),
    ("system long date", "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy", 44439),
    ("system time", "[$-F400]h:mm:ss\\ AM/PM", 0.75),
    ("custom date", "m/d/yyyy", 44439),
    ("custom time", "hh:mm", 0.3),
    ("one decimal", "#,##0.0", 1000.05),
    ("thousands only", "#,", 1234567),
]

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>
<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>
<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>
</Types>
"""

PACKAGE_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>
"""

WORKBOOK = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="Shown" sheetId="1" r:id="rId1"/></sheets>
</workbook>
"""

WORKBOOK_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>
</Relationships>
"""


def styles_and_ids():
    custom = []
    style_of_row = []
    for _, fmt, _ in ROWS:
        if isinstance(fmt, int):
            style_of_row.append(fmt)
        else:
            if fmt not in custom:
                custom.append(fmt)
            style_of_row.append(164 + custom.index(fmt))
    ids = sorted(set(style_of_row) | {0})
    num_fmts = "".join(
        f'<numFmt numFmtId="{164 + i}" formatCode="{escape(code, {chr(34): "&quot;"})}"/>'
        for i, code in enumerate(custom))
    apply = ' applyNumberFormat="1"'
    xfs = "".join(
        f'<xf numFmtId="{i}" fontId="0" fillId="0" borderId="0" xfId="0"{apply if i else ""}/>'
        for i in ids)
    styles = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="{len(custom)}">{num_fmts}</numFmts>
<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>
<fills count="1"><fill><patternFill patternType="none"/></fill></fills>
<borders count="1"><border/></borders>
<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>
<cellXfs count="{len(ids)}">{xfs}</cellXfs>
</styleSheet>
"""
    xf_of_row = [ids.index(i) for i in style_of_row]
    return styles, xf_of_row


def sheet(xf_of_row):
    rows = []
    for n, ((label, _, value), xf) in enumerate(zip(ROWS, xf_of_row), start=1):
        rows.append(
            f'<row r="{n}"><c r="A{n}" t="inlineStr"><is><t>{escape(label)}</t></is></c>'
            f'<c r="B{n}" s="{xf}"><v>{value!r}</v></c></row>')
    return f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<dimension ref="A1:B{len(ROWS)}"/>
<cols><col min="1" max="1" width="24" customWidth="1"/><col min="2" max="2" width="32" customWidth="1"/></cols>
<sheetData>{"".join(rows)}</sheetData>
</worksheet>
"""


def main(path):
    styles, xf_of_row = styles_and_ids()
    parts = [
        ("[Content_Types].xml", CONTENT_TYPES),
        ("_rels/.rels", PACKAGE_RELS),
        ("xl/workbook.xml", WORKBOOK),
        ("xl/_rels/workbook.xml.rels", WORKBOOK_RELS),
        ("xl/styles.xml", styles),
        ("xl/worksheets/sheet1.xml", sheet(xf_of_row)),
    ]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, text in parts:
            info = zipfile.ZipInfo(name, date_time=(2021, 8, 31, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, text.encode("utf-8"))


if __name__ == "__main__":
    main(sys.argv[1])
