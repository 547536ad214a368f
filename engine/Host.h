// The spreadsheet host: what the engine reads of a workbook, whatever its file format.
#pragma once

#include "engine/Sheet.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sheetfray::engine {

// One open workbook. Sheets are numbered from 1 in the workbook's order, hidden ones too.
class Workbook
{
public:
    virtual ~Workbook() = default;

    // The file name with its extension ("Book1.xlsx").
    [[nodiscard]] virtual std::string_view name() const = 0;
    [[nodiscard]] virtual std::int32_t sheetCount() const = 0;
    [[nodiscard]] virtual std::string_view sheetName(std::int32_t index) const = 0;

    // Whether the sheet is hidden or very hidden; formats without hidden sheets say false.
    [[nodiscard]] virtual bool isSheetHidden(std::int32_t /*index*/) const { return false; }

    // Reads the cells of one sheet. Throws SheetWithoutCells (a ReadError) for a chart or
    // dialog sheet, which holds no cells, and ReadError when its part is damaged.
    [[nodiscard]] virtual Sheet loadSheet(std::int32_t index) = 0;
};

// An instance of the host: opens workbooks. Creating one may fail (see HostFactory).
class Host
{
public:
    virtual ~Host() = default;

    // Opens a workbook by its full path. Throws ReadError naming the file and the reason.
    [[nodiscard]] virtual std::unique_ptr<Workbook> open(const std::string& path) = 0;
};

// Creates host instances; a fresh one for every workbook that is split.
class HostFactory
{
public:
    virtual ~HostFactory() = default;

    // Throws Error when no instance can be created.
    [[nodiscard]] virtual std::unique_ptr<Host> create() = 0;
};

} // namespace sheetfray::engine
