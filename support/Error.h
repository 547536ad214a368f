// Exception types the engine throws; the trap turns them into error reports.
#pragma once

#include <stdexcept>
#include <string>

namespace sheetfray {

// Any failure of a working step. The message names what failed, the file and why.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A workbook (or one of its sheets) cannot be read: damaged, encrypted, unsupported.
class ReadError : public Error
{
public:
    using Error::Error;
};

// A sheet that holds no cells by its nature (a chart or dialog sheet): a split passes over it
// without a report.
class SheetWithoutCells : public ReadError
{
public:
    using ReadError::ReadError;
};

// An output file cannot be written; no partial file is left behind.
class WriteError : public Error
{
public:
    using Error::Error;
};

} // namespace sheetfray
