#include "engine/readers/FileHost.h"

#include "engine/readers/CsvReader.h"
#include "engine/readers/OdsReader.h"
#include "engine/readers/XlsReader.h"
#include "engine/readers/XlsxReader.h"
#include "engine/readers/Zip.h"
#include "support/Error.h"
#include "support/Text.h"

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
// Enough of an XML file's start to hold its root's start tag, with the dozens of namespaces
// OpenDocument writers declare there.
constexpr std::size_t FlatSniffSize = 64 * 1024;

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

bool hasExtension(std::string_view fileName, std::string_view extension)
{
    const std::size_t dot = fileName.rfind('.');
    return dot != std::string_view::npos && asciiLowered(fileName.substr(dot + 1)) == extension;
}

// A flat OpenDocument file is XML whose root is office:document: one stating a spreadsheet
// type, or any such document named ".fods". Other XML is left to the text reader, which
// refuses markup.
std::unique_ptr<Workbook> openFlatOpenDocument(const std::filesystem::path& path,
                                               const std::string& fileName,
                                               std::span<const std::byte> head)
{
    const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    const std::size_t start = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    if (start == std::string_view::npos || text[start] != '<') {
        return nullptr;
    }
    // The root's start tag follows the XML declaration and may declare many namespaces.
    const auto type = flatOpenDocumentType(readBytes(path, FlatSniffSize));
    if (!type || (type->empty() && !hasExtension(fileName, "fods"))) {
        return nullptr;
    }
    if (!type->empty() && !type->starts_with("application/vnd.oasis.opendocument.spreadsheet")) {
        throw ReadError(ReadError::Reason::OtherOpenDocument, *type);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ReadError(ReadError::Reason::FileNotOpened, std::generic_category().message(errno));
    }
    return openFlatOdsWorkbook(fileName, [&in](char* buffer, std::size_t size) {
        in.read(buffer, static_cast<std::streamsize>(size));
        if (in.bad()) {
            throw ReadError(ReadError::Reason::FileNotRead);
        }
        return static_cast<std::size_t>(in.gcount());
    });
}

std::unique_ptr<Workbook> openFile(const std::filesystem::path& path, const std::string& fileName)
{
    checkIsFile(path);
    const std::vector<std::byte> head = readBytes(path, SniffSize);
    switch (sniff(head)) {
    case Container::Empty:
        // An empty text file opens as a workbook of one empty sheet, as in spreadsheet
        // programs; a package of no bytes is a file that was never written.
        for (const std::string_view package :
             {"xlsx", "xlsm", "xltx", "xltm", "xlsb", "ods", "ots", "fods"}) {
            if (hasExtension(fileName, package)) {
                throw ReadError(ReadError::Reason::EmptyFile);
            }
        }
        return openDelimitedTextFile(path, fileName, dialectForName(fileName));
    case Container::Zip:
        return openZipWorkbook(path, fileName);
    case Container::CompoundFile:
    case Container::BareBiff:
        // The .xls reader also recognises encrypted Office Open XML packages.
        return openXlsWorkbook(fileName, readAll(path));
    case Container::Text:
        if (auto flat = openFlatOpenDocument(path, fileName, head)) {
            return flat;
        }
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
