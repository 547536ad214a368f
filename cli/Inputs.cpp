#include "cli/Inputs.h"

#include "filelist/FolderScan.h"
#include "platform/std/PosixFileSystem.h"

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace sheetfray::cli {

namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& ch : out) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return out;
}

// Workbook paths become absolute, as the window's list holds them, so that "beside the
// source" means the workbook's own folder and never the root.
std::string fullPath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

bool isFolder(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// Every workbook below the folder, sorted by path; hidden folders below it are passed over,
// as the window's Add All passes them.
std::vector<std::string>
workbooksBelow(const std::string& folder, const engine::CodePage& codePage, Reporter& reporter)
{
    platform::PosixFileSystem files;
    filelist::ScanServices services{files, codePage, reporter, [] { return true; }};
    std::vector<std::string> found;
    filelist::scanFolderTree(
        {filelist::withFinalSeparator(folder)},
        services,
        [&](const std::string& scanned, const std::vector<platform::FolderEntry>& entries) {
            for (const platform::FolderEntry& entry : entries) {
                if (entry.kind == platform::FolderEntry::Kind::File && isWorkbookName(entry.name)) {
                    found.push_back(engine::NormalizePath(scanned + entry.name));
                }
            }
        });
    std::ranges::sort(found);
    return found;
}

// Copies standard input into a private folder under the name it goes by, with the extension
// its content calls for when that name has none the program reads.
std::optional<Input> spoolStandardInput(const std::string& name, InputList& list)
{
    std::error_code error;
    std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) {
        temporary = "/tmp";
    }
    std::string pattern = (temporary / "sheetfray-split-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder for standard input: "
                                 + std::string(std::strerror(errno)));
    }
    list.spool = std::make_unique<SpoolFolder>(pattern);
    // The first block names the file; then block after block goes straight to it, so a large
    // workbook is never held in memory.
    std::vector<char> buffer(65536);
    const auto readBlock = [&] {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), stdin);
        if (std::ferror(stdin)) {
            throw std::runtime_error("cannot read standard input: "
                                     + std::string(std::strerror(errno)));
        }
        return got;
    };
    std::size_t got = readBlock();
    const std::string fileName = isWorkbookName(name) ? name
                                                      : name
            + extensionForContent(std::string_view(buffer.data(),
                                                   std::min<std::size_t>(got, 4096)));
    const std::string path = pattern + "/" + fileName;
    std::ofstream out(path, std::ios::binary);
    while (got > 0 && out) {
        out.write(buffer.data(), static_cast<std::streamsize>(got));
        got = got < buffer.size() ? 0 : readBlock();
    }
    out.close();
    if (!out) {
        throw std::runtime_error("cannot copy standard input to " + path);
    }
    return Input{path, name, true};
}

} // namespace

SpoolFolder::~SpoolFolder()
{
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

bool isWorkbookName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return false;
    }
    constexpr std::array<std::string_view, 9> Extensions{
        "xlsx", "xlsm", "xltx", "xltm", "xls", "ods", "fods", "csv", "tsv"};
    return std::ranges::find(Extensions, lowered(name.substr(dot + 1))) != Extensions.end();
}

std::string extensionForContent(std::string_view head)
{
    if (head.starts_with("PK")) {
        // An OpenDocument package stores its media type first, uncompressed (ODF 1.2, 3.3).
        return head.find("application/vnd.oasis.opendocument") != std::string_view::npos ? ".ods"
                                                                                         : ".xlsx";
    }
    if (head.starts_with("\xD0\xCF\x11\xE0")) {
        return ".xls";
    }
    const std::string_view firstLine = head.substr(0, head.find_first_of("\r\n"));
    return std::ranges::count(firstLine, '\t') > std::ranges::count(firstLine, ',') ? ".tsv"
                                                                                    : ".csv";
}

InputList
collectInputs(const Options& options, const engine::CodePage& codePage, LineOutput& errors)
{
    InputList list;
    for (const std::string& argument : options.workbooks) {
        if (argument == "-") {
            try {
                if (std::optional<Input> input = spoolStandardInput(options.stdinName, list)) {
                    list.inputs.push_back(std::move(*input));
                }
            } catch (const std::exception& e) {
                errors.write("sheetfray-split: " + std::string(e.what()) + "\n");
                ++list.failures;
            }
            continue;
        }
        const std::string path = fullPath(argument);
        if (!isFolder(path)) {
            list.inputs.push_back({path, path, false});
            continue;
        }
        ConsoleReporter reporter(errors, nullptr, options.verbose);
        reporter.setWorkbook(path);
        for (std::string& found : workbooksBelow(path, codePage, reporter)) {
            list.inputs.push_back({found, found, false});
        }
        list.failures += reporter.count();
    }
    return list;
}

} // namespace sheetfray::cli
