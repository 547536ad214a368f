// Splitting one workbook into one output file per row, column or non-blank cell.
#pragma once

#include "engine/CodePage.h"
#include "engine/Host.h"
#include "engine/OutputFile.h"
#include "engine/RunControls.h"
#include "engine/RunOutputs.h"
#include "engine/TextOutput.h"
#include "engine/ZipOutput.h"
#include "engine/format/NumberFormat.h"
#include "support/ErrorReport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::engine {

// What an output file holds. The window offers Text and Spreadsheet; the command line all.
enum class OutputKind : std::uint8_t {
    Text, // the line's displayed texts, each followed by the separator (.txt)
    Spreadsheet, // a workbook of one sheet in the binary spreadsheet format (.xls)
    TabText, // tab-separated text named .xls
    Xlsx, // a workbook of one sheet in the XML package format (.xlsx)
    Json, // the displayed texts as a JSON array, object or string (.json)
};

// Choices the command line adds to the window's; the defaults split as the window does.
struct SplitChoices
{
    // What the files hold; none: as the controls say, Text or Spreadsheet.
    std::optional<OutputKind> kind;
    // The sheets to split, each by its name or by its number from 1 in workbook order (a
    // sheet of that name wins over the number); empty: every sheet. They are split in
    // workbook order, each once.
    std::vector<std::string> sheets;
    bool skipHidden = false; // hidden and very hidden sheets give no files
    // A row or column whose cells hold no text (blanks at most) gives no file and takes no
    // running number.
    bool skipEmpty = false;
    // Names files from placeholders (see ExpandNameTemplate); empty: the naming scheme.
    std::string nameTemplate;
    int pad = 0; // running numbers take at least this many digits
    // Text files: a field holding the separator, a double quote, CR or LF goes between double
    // quotes, its quotes doubled (CSV). A cell file has no separator: it is quoted for a
    // double quote, CR or LF.
    bool quote = false;
    // JSON row files: the first row of each sheet that would give a file gives the keys
    // instead, and each later row is an object. The header row takes no running number.
    bool header = false;
    // The encoding of text files; none: the code page's, as the window writes them. JSON is
    // always UTF-8.
    const TextEncoding* encoding = nullptr;
    // Every file goes into this archive instead of the folder, named as in the folder.
    ZipArchive* archive = nullptr;
};

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
    const SplitChoices* choices = nullptr; // none: the window's choices alone
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
