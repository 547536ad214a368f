#!/usr/bin/python3
"""Checks this program's workbook outputs with two independent readers.

Splits a few workbooks by rows and by columns into .xls (--kind spreadsheet) and .xlsx
(--kind xlsx) files, and by cells into both, then:
  - LibreOffice converts every file to CSV: each cell must show the text the same split
    writes as tab-separated text (--kind tab-text);
  - xlrd opens every .xls file: each text cell must hold that text, and the sheet must have
    the cells the split wrote.
Prints what differs and a summary; exits 1 on a failure to open or convert, 0 otherwise
(differences in shown texts are listed and counted, since two programs may round a number
to different digits). With --strict any difference fails.
Usage: tools/check-outputs.py SHEETFRAY_SPLIT [WORKBOOK...]
Needs soffice (libreoffice-calc-nogui) and python3-xlrd; exits 77 when either is missing.
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SHARED = os.path.join(HERE, "..", "..", "shared", "testdata", "workbooks")
DEFAULT_BOOKS = [
    os.path.join(HERE, "..", "tests", "data", "contract.xlsx"),
    os.path.join(SHARED, "ExcelDataReader__Test_num_double_date_bool_string.xlsx"),
    os.path.join(SHARED, "calamine__date_1904.xls"),
    os.path.join(SHARED, "calamine__errors.xlsx"),
    os.path.join(SHARED, "ExcelDataReader__TestUnicodeChars.xlsx"),
    os.path.join(SHARED, "xlsx2csv__percentage.xlsx"),
    os.path.join(SHARED, "xlrd__Formate.xls"),
    os.path.join(SHARED, "calamine__special_cells.ods"),
]


def tab_cells(text):
    """The cells of a line of tab-separated text, quoted ones unquoted."""
    cells, i, n = [], 0, len(text)
    while True:
        if i < n and text[i] == '"':
            i += 1
            cell = []
            while i < n:
                if text[i] == '"':
                    if i + 1 < n and text[i + 1] == '"':
                        cell.append('"')
                        i += 2
                        continue
                    i += 1
                    break
                cell.append(text[i])
                i += 1
            cells.append("".join(cell))
        else:
            end = text.find("\t", i)
            end = n if end < 0 else end
            cells.append(text[i:end])
            i = end
        if i >= n:
            break
        i += 1  # the tab
        if i >= n:
            break  # a trailing separator
    return cells


def split(program, book, each, kind, folder):
    os.makedirs(folder, exist_ok=True)
    subprocess.run([program, "--quiet", "--each", each, "--kind", kind, "--name", "location",
                    "--output", folder, book], check=True)


def convert(folder, home):
    """Converts every workbook in the folder to CSV (UTF-8, shown texts) beside it."""
    files = sorted(f for f in os.listdir(folder) if f.endswith((".xls", ".xlsx")))
    if not files:
        return
    env = dict(os.environ, HOME=home)
    subprocess.run(["soffice", "--headless", "--convert-to",
                    "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true",
                    "--outdir", os.path.join(folder, "csv")] + files,
                   cwd=folder, env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.reader(f))


def main():
    args = [a for a in sys.argv[1:] if a != "--strict"]
    strict = "--strict" in sys.argv[1:]
    if not args:
        print(__doc__)
        return 2
    try:
        import xlrd
    except ImportError:
        print("check-outputs: python3-xlrd is missing; skipped")
        return 77
    if shutil.which("soffice") is None:
        print("check-outputs: soffice is missing; skipped")
        return 77
    program = os.path.abspath(args[0])
    books = [os.path.abspath(b) for b in (args[1:] or DEFAULT_BOOKS) if os.path.exists(b)]
    work = tempfile.mkdtemp(prefix="sheetfray-check-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    home = os.path.join(work, "home")
    os.makedirs(home)
    checked = differences = failures = xlrd_cells = 0
    try:
        for book in books:
            name = os.path.basename(book)
            for each in ("row", "column", "cell"):
                base = os.path.join(work, name, each)
                split(program, book, each, "tab-text", os.path.join(base, "tab-text"))
                for kind in ("spreadsheet", "xlsx"):
                    folder = os.path.join(base, kind)
                    split(program, book, each, kind, folder)
                    convert(folder, home)
                    for out in sorted(os.listdir(folder)):
                        if not out.endswith((".xls", ".xlsx")):
                            continue
                        stem = out.rsplit(".", 1)[0]
                        csv_path = os.path.join(folder, "csv", stem + ".csv")
                        if not os.path.exists(csv_path):
                            print(f"FAIL {name} {each} {kind} {out}: LibreOffice did not convert it")
                            failures += 1
                            continue
                        shown = read_csv(csv_path)
                        if each == "row":
                            got = shown[0] if shown else []
                        elif each == "column":
                            got = [r[0] if r else "" for r in shown]
                        else:
                            got = [shown[0][0]] if shown and shown[0] else [""]
                            if got == [""]:
                                print(f"FAIL {name} {each} {kind} {out}: shows no cell")
                                failures += 1
                            continue  # a cell file's text file holds the value, not the shown text
                        with open(os.path.join(base, "tab-text", stem + ".xls"), encoding="utf-8",
                                  errors="replace", newline="") as f:
                            want = tab_cells(f.read())
                        width = max(len(got), len(want))
                        got += [""] * (width - len(got))
                        want += [""] * (width - len(want))
                        for k, (g, w) in enumerate(zip(got, want)):
                            checked += 1
                            # LibreOffice shows the booleans of any .xls file as 1 and 0,
                            # those the spreadsheet application saved too.
                            if kind == "spreadsheet" and (g, w) in (("1", "TRUE"), ("0", "FALSE")):
                                continue
                            if g != w:
                                differences += 1
                                if differences <= 40:
                                    print(f"DIFF {name} {each} {kind} {out} cell {k + 1}: "
                                          f"LibreOffice shows {g!r}, the split {w!r}")
                        if kind == "spreadsheet":
                            try:
                                sheet = xlrd.open_workbook(os.path.join(folder, out)).sheet_by_index(0)
                            except Exception as e:  # xlrd raises many kinds
                                print(f"FAIL {name} {each} {out}: xlrd: {e}")
                                failures += 1
                                continue
                            for r in range(sheet.nrows):
                                for c in range(sheet.ncols):
                                    cell = sheet.cell(r, c)
                                    if cell.ctype == xlrd.XL_CELL_EMPTY:
                                        continue
                                    xlrd_cells += 1
                                    k = c if each == "row" else r
                                    if cell.ctype == xlrd.XL_CELL_TEXT and k < len(want) \
                                            and cell.value != want[k] and want[k].strip():
                                        # a text cell shown through a format may differ
                                        if want[k].find(cell.value) < 0:
                                            differences += 1
                                            print(f"DIFF {name} {each} {out} xlrd cell {k + 1}: "
                                                  f"{cell.value!r} against {want[k]!r}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"check-outputs: {len(books)} workbooks, {checked} shown cells compared through "
          f"LibreOffice, {xlrd_cells} cells read by xlrd, {differences} differences, "
          f"{failures} failures")
    return 1 if failures or (strict and differences) else 0


if __name__ == "__main__":
    sys.exit(main())
