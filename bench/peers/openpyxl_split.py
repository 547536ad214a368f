#!/usr/bin/python3
"""The split a user would script with openpyxl instead: read-only mode, one file per row,
column or non-blank cell of every sheet, cells shown roughly as the spreadsheet shows them.

Usage: openpyxl_split.py BOOK.xlsx OUTPUT_DIR row|column|cell
"""
import datetime
import os
import sys

from openpyxl import load_workbook

SEPARATOR = "\r\n"


def shown(cell):
    """The cell's text: booleans in capitals, dates as m/d/yyyy, percents with two decimals."""
    value = cell.value
    if value is None:
        return ""
    if isinstance(value, bool):
        return "TRUE" if value else "FALSE"
    if isinstance(value, datetime.datetime):
        return f"{value.month}/{value.day}/{value.year}"
    if isinstance(value, (int, float)):
        if "%" in (cell.number_format or ""):
            return f"{value * 100:.2f}%"
        return f"{value:.15g}"
    return str(value)


def write(path, text):
    with open(path, "wb") as out:
        out.write(text.encode("utf-8"))


def main():
    book, folder, mode = sys.argv[1:4]
    base = os.path.join(folder, os.path.splitext(os.path.basename(book))[0])
    workbook = load_workbook(book, read_only=True)
    counter = 0
    for sheet in workbook.worksheets:
        if mode == "row":
            for row in sheet.iter_rows():
                counter += 1
                write(f"{base}_{counter}.txt", "".join(shown(c) + SEPARATOR for c in row))
        elif mode == "column":
            columns = []
            for row in sheet.iter_rows():
                for index, cell in enumerate(row):
                    if index == len(columns):
                        columns.append([])
                    columns[index].append(shown(cell) + SEPARATOR)
            for column in columns:
                counter += 1
                write(f"{base}_{counter}.txt", "".join(column))
        else:
            for row in sheet.iter_rows():
                for cell in row:
                    text = shown(cell)
                    if text.strip():
                        counter += 1
                        write(f"{base}_{counter}.txt", text)
    workbook.close()


if __name__ == "__main__":
    main()
