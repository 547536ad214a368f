#include "engine/readers/FileHost.h"

#include "engine/readers/ReadFailure.h"
#include "engine/readers/XlsReader.h"
#include "engine/readers/XlsxReader.h"
#include "engine/readers/Zip.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <system_error>

namespace sheetfray::engine::readers {

namespace {

enum class Container {
    Empty,
    Zip, // Office Open XML, OpenDocument
    CompoundFile, // BIFF workbooks, encrypted Office Open XML
    BareBiff, // BIFF2 to BIFF4 workbooks: a record stream without a container
    Other,
};

Container sniff(const std::filesystem::path& path, const std::string& fileName)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw fileFailure(
            fileName, "the file cannot be opened (" + std::generic_category().message(errno) + ")");
    }
    std::array<char, 8> head{};
    in.read(head.data(), head.size());
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) {
        return Container::Empty;
    }
    const std::string_view bytes(head.data(), got);
    // Local file header, or the end record of an archive without entries.
    if (bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06")) {
        return Container::Zip;
    }
    if (bytes == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        return Container::CompoundFile;
    }
    if (looksLikeBareBiff(std::as_bytes(std::span(head.data(), got)))) {
        return Container::BareBiff;
    }
    return Container::Other;
}

void checkIsFile(const std::filesystem::path& path, const std::string& fileName)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw fileFailure(fileName, "the file does not exist");
    }
    if (error) {
        throw fileFailure(fileName, "the file cannot be opened (" + error.message() + ")");
    }
    if (status.type() == std::filesystem::file_type::directory) {
        throw fileFailure(fileName, "it is a folder, not a file");
    }
    if (status.type() != std::filesystem::file_type::regular) {
        throw fileFailure(fileName, "it is not a regular file");
    }
}

std::unique_ptr<Workbook> openZipWorkbook(const std::filesystem::path& path,
                                          const std::string& fileName)
{
    ZipArchive archive(path, fileName);
    if (archive.find("mimetype") && archive.find("content.xml")
        && !archive.find("[Content_Types].xml")) {
        throw fileFailure(fileName, "this file format is not supported yet (OpenDocument)");
    }
    return openXlsxWorkbook(std::move(archive));
}

// Compound files hold .xls workbooks, and encrypted Office Open XML packages, which the
// .xls reader recognises too.
std::unique_ptr<Workbook> openCompoundWorkbook(const std::filesystem::path& path,
                                               const std::string& fileName)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::byte> bytes;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error) {
        bytes.resize(static_cast<std::size_t>(size));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
    }
    if (error || in.bad()) {
        throw fileFailure(fileName, "the file cannot be read");
    }
    return openXlsWorkbook(fileName, std::move(bytes));
}

} // namespace

std::unique_ptr<Workbook> openWorkbookFile(const std::filesystem::path& path)
{
    const std::string fileName = path.filename().string();
    checkIsFile(path, fileName);
    switch (sniff(path, fileName)) {
    case Container::Empty:
        throw fileFailure(fileName, "it is not a spreadsheet file (the file is empty)");
    case Container::Zip:
        return openZipWorkbook(path, fileName);
    case Container::CompoundFile:
    case Container::BareBiff:
        return openCompoundWorkbook(path, fileName);
    case Container::Other:
        break;
    }
    throw fileFailure(fileName, "it is not a spreadsheet file");
}

std::unique_ptr<Workbook> FileHost::open(const std::string& path)
{
    return openWorkbookFile(path);
}

std::unique_ptr<Host> FileHostFactory::create()
{
    return std::make_unique<FileHost>();
}

} // namespace sheetfray::engine::readers
