#include "engine/readers/FileHost.h"

#include "engine/readers/CsvReader.h"
#include "engine/readers/OdsReader.h"
#include "engine/readers/XlsReader.h"
#include "engine/readers/XlsxReader.h"
#include "engine/readers/Zip.h"
#include "support/Error.h"

#include <cerrno>
#include <fstream>
#include <limits>
#include <span>
#include <system_error>
#include <vector>

namespace sheetfray::engine::readers {

namespace {

// Enough of the file's start to tell text from binary content.
constexpr std::size_t SniffSize = 4096;

enum class Container {
    Empty,
    Zip, // Office Open XML, OpenDocument
    CompoundFile, // .xls workbooks, encrypted Office Open XML packages
    BareBiff, // BIFF2 to BIFF4 workbooks: a record stream without a container
    Text, // delimited text
    Other,
};

void checkIsFile(const std::filesystem::path& path)
{
    using enum ReadError::Reason;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw ReadError(FileMissing);
    }
    if (error) {
        throw ReadError(FileNotOpened, error.message());
    }
    if (status.type() == std::filesystem::file_type::directory) {
        throw ReadError(Folder);
    }
    if (status.type() != std::filesystem::file_type::regular) {
        throw ReadError(NotRegularFile);
    }
}

// Reads up to limit bytes from the start of the file.
std::vector<std::byte> readBytes(const std::filesystem::path& path, std::size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ReadError(ReadError::Reason::FileNotOpened, std::generic_category().message(errno));
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    std::vector<std::byte> bytes(error ? limit : std::min<std::uintmax_t>(size, limit));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        throw ReadError(ReadError::Reason::FileNotRead);
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::vector<std::byte> readAll(const std::filesystem::path& path)
{
    return readBytes(path, std::numeric_limits<std::size_t>::max());
}

// The container is told by the first bytes: the name of a file says little (text saved as
// ".xls", workbooks renamed).
Container sniff(std::span<const std::byte> head)
{
    if (head.empty()) {
        return Container::Empty;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(head.data()), head.size());
    // A local file header, or the end record of an archive without entries.
    if (bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06")) {
        return Container::Zip;
    }
    if (bytes.starts_with(std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))) {
        return Container::CompoundFile;
    }
    if (looksLikeBareBiff(head)) {
        return Container::BareBiff;
    }
    if (looksLikeText(head)) {
        return Container::Text;
    }
    return Container::Other;
}

std::unique_ptr<Workbook> openZipWorkbook(const std::filesystem::path& path,
                                          const std::string& fileName)
{
    ZipArchive archive(path, fileName);
    if (isOpenDocument(archive)) {
        return openOdsWorkbook(std::move(archive));
    }
    return openXlsxWorkbook(std::move(archive));
}

std::unique_ptr<Workbook> openFile(const std::filesystem::path& path, const std::string& fileName)
{
    checkIsFile(path);
    switch (sniff(readBytes(path, SniffSize))) {
    case Container::Empty:
        throw ReadError(ReadError::Reason::EmptyFile);
    case Container::Zip:
        return openZipWorkbook(path, fileName);
    case Container::CompoundFile:
    case Container::BareBiff:
        // The .xls reader also recognises encrypted Office Open XML packages.
        return openXlsWorkbook(fileName, readAll(path));
    case Container::Text:
        return openDelimitedTextFile(path, fileName, dialectForName(fileName));
    case Container::Other:
        break;
    }
    throw ReadError(ReadError::Reason::NotSpreadsheet);
}

} // namespace

std::unique_ptr<Workbook> openWorkbookFile(const std::filesystem::path& path)
{
    const std::string fileName = path.filename().string();
    try {
        return openFile(path, fileName);
    } catch (ReadError& e) {
        e.nameFile(fileName);
        throw;
    }
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
