// Splitting one workbook into one output file per row, column or non-blank cell.
#pragma once

#include "engine/CodePage.h"
#include "engine/Host.h"
#include "engine/OutputFile.h"
#include "engine/RunControls.h"
#include "engine/RunOutputs.h"
#include "engine/format/NumberFormat.h"
#include "support/ErrorReport.h"

#include <memory>
#include <string>
#include <string_view>

namespace sheetfray::engine {

// Everything a splitting call works with besides its arguments.
struct SplitContext
{
    HostFactory& hosts;
    RunControls& controls;
    Reporter& reporter;
    const CodePage& codePage;
    const format::ValueLocale& locale;
    // The run's workbooks and the names it has written: shared by every split of one run.
    RunOutputs& outputs;
    // The free space of the output folder's file system: a sheet whose files cannot fit is
    // not split, and a split stops when the disk is all but full.
    DiskSpaceSource diskSpace = SystemDiskSpace;
};

// A host instance with the workbook open in it; both are released together.
struct OpenedWorkbook
{
    std::unique_ptr<Host> host;
    std::unique_ptr<Workbook> workbook;
};

// Creates a fresh host and opens the workbook in it. Throws when either fails.
[[nodiscard]] OpenedWorkbook OpenWorkbook(HostFactory& hosts, const std::string& workbookPath);

// Each row of every sheet's used range becomes one file: every cell's displayed text followed
// by the separator. outputBase is the output folder, "/" and the workbook's base name.
// Failures are reported through the context's reporter and the walk goes on.
void SaveEachRow(const SplitContext& context,
                 const std::string& workbookPath,
                 std::string_view outputBase,
                 std::string_view separator);

// The same for each column, cells taken top to bottom.
void SaveEachCol(const SplitContext& context,
                 const std::string& workbookPath,
                 std::string_view outputBase,
                 std::string_view separator);

// Each non-blank cell becomes one file holding the cell's value text.
void SaveEachCell(const SplitContext& context,
                  const std::string& workbookPath,
                  std::string_view outputBase);

// The text a cell file holds: numbers unformatted, dates in the locale's short date,
// True or False, texts unchanged, errors as shown.
void appendValueText(const CellValue& value,
                     format::DateSystem dateSystem,
                     const format::ValueLocale& locale,
                     std::string& out);

} // namespace sheetfray::engine
