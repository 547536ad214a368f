#!/usr/bin/env python3
"""Writes small .xlsx files whose sheet or shared-string parts hold tens of millions of empty
elements, to measure the reader's memory on them (they are far too large for the repository).

    tools/hostile/make-hostile-xlsx.py FOLDER [--scale 1.0]

FOLDER/empty-cells.xlsx      50,000,001 <c/> in rows of 16,384
FOLDER/unordered-cells.xlsx  49,000,000 <c/> in rows numbered from the last to the first
FOLDER/empty-strings.xlsx    40,000,000 <si/> and a sheet of one shared text
"""
import argparse
import os
import zipfile

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
HEADER = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
COLUMNS = 16384


def rows_in_order(cells):
    row = "<row>" + "<c/>" * COLUMNS + "</row>"
    full, rest = divmod(cells, COLUMNS)
    for _ in range(full):
        yield row
    if rest:
        yield "<row>" + "<c/>" * rest + "</row>"


def rows_from_last(cells):
    rows = (cells + COLUMNS - 1) // COLUMNS
    for r in range(rows, 0, -1):
        count = min(COLUMNS, cells - (r - 1) * COLUMNS)
        yield '<row r="%d">' % r + "<c/>" * count + "</row>"


def write_part(archive, name, pieces):
    info = zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    info._compresslevel = 9
    with archive.open(info, "w", force_zip64=True) as out:
        buffer = []
        size = 0
        for piece in pieces:
            buffer.append(piece)
            size += len(piece)
            if size > 1 << 20:
                out.write("".join(buffer).encode())
                buffer, size = [], 0
        out.write("".join(buffer).encode())


def workbook(path, sheet_rows, strings=None):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        types = (HEADER + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                 '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                 '<Default Extension="xml" ContentType="application/xml"/>'
                 '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                 '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>')
        rels = (HEADER + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                '<Relationship Id="rId1" Type="%s/worksheet" Target="worksheets/sheet1.xml"/>' % REL)
        if strings is not None:
            types += ('<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
                      'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>')
            rels += '<Relationship Id="rId2" Type="%s/sharedStrings" Target="sharedStrings.xml"/>' % REL
        archive.writestr("[Content_Types].xml", types + "</Types>")
        archive.writestr("_rels/.rels", HEADER
                         + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                         '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/>'
                         "</Relationships>" % REL)
        archive.writestr("xl/workbook.xml", HEADER + '<workbook xmlns="%s" xmlns:r="%s"><sheets>'
                         '<sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>' % (MAIN, REL))
        archive.writestr("xl/_rels/workbook.xml.rels", rels + "</Relationships>")
        write_part(archive, "xl/worksheets/sheet1.xml",
                   [HEADER + '<worksheet xmlns="%s"><sheetData>' % MAIN, *sheet_rows, "</sheetData></worksheet>"])
        if strings is not None:
            write_part(archive, "xl/sharedStrings.xml",
                       [HEADER + '<sst xmlns="%s" count="%d" uniqueCount="%d">' % (MAIN, strings, strings),
                        *("<si/>" * 10000 for _ in range(strings // 10000)),
                        "<si/>" * (strings % 10000), "</sst>"])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--scale", type=float, default=1.0)
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    n = lambda count: max(1, int(count * args.scale))
    workbook(os.path.join(args.folder, "empty-cells.xlsx"), rows_in_order(n(50_000_001)))
    workbook(os.path.join(args.folder, "unordered-cells.xlsx"), rows_from_last(n(49_000_000)))
    workbook(os.path.join(args.folder, "empty-strings.xlsx"),
             ['<row r="1"><c r="A1" t="s"><v>0</v></c></row>'], n(40_000_000))


if __name__ == "__main__":
    main()
