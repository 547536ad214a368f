// The workbooks a command line names: files, every workbook below a folder, standard input.
#pragma once

#include "cli/Console.h"
#include "cli/Options.h"
#include "engine/CodePage.h"

#include <memory>
#include <string>
#include <vector>

namespace sheetfray::cli {

struct Input
{
    std::string path; // absolute; for standard input, the spooled copy
    std::string shown; // in messages: the path, or the name standard input goes by
    bool fromStdin = false;
};

// A private folder holding standard input's copy; removed with everything in it.
class SpoolFolder
{
public:
    explicit SpoolFolder(std::string path)
        : m_path(std::move(path))
    {}

    ~SpoolFolder();
    SpoolFolder(const SpoolFolder&) = delete;
    SpoolFolder& operator=(const SpoolFolder&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

struct InputList
{
    std::vector<Input> inputs; // in the order of the command line, each folder's sorted
    int failures = 0; // folders that could not be scanned, standard input that could not be read
    std::unique_ptr<SpoolFolder> spool;
};

// True for the extensions the program reads (.xlsx .xlsm .xltx .xltm .xls .ods .fods .csv
// .tsv), in any case.
[[nodiscard]] bool isWorkbookName(std::string_view name);

// The extension, with its dot, that bytes from the start of a workbook call for: ".xlsx" or
// ".ods" for a zip package, ".xls" for a compound file, ".tsv" for text whose first line has
// more tabs than commas, ".csv" for other text.
[[nodiscard]] std::string extensionForContent(std::string_view head);

// Expands the command line's workbook arguments; failures are reported on errors.
[[nodiscard]] InputList
collectInputs(const Options& options, const engine::CodePage& codePage, LineOutput& errors);

} // namespace sheetfray::cli
