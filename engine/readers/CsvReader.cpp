#include "engine/readers/CsvReader.h"

#include "engine/readers/SheetBands.h"
#include "engine/readers/TextDecoding.h"
#include "support/Error.h"
#include "support/Text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <system_error>
#include <vector>

namespace sheetfray::engine::readers {

namespace {

constexpr std::size_t SniffSize = 4096;
// How much of a file's start opening reads to tell markup from text.
constexpr std::size_t MarkupSniffSize = 64 * 1024;

// A sheet holds at most 4 GiB of text; a text file larger than that cannot be read, and is
// refused before any of it is held.
constexpr std::uint64_t MostTextFileBytes = std::numeric_limits<std::uint32_t>::max();

void checkTextFileSize(std::uint64_t size)
{
    if (size > MostTextFileBytes) {
        constexpr std::uint64_t GiB = std::uint64_t{1} << 30;
        throw ReadError(ReadError::Reason::TooLargeForSheet,
                        "the file is too large (" + std::to_string((size + GiB - 1) / GiB)
                            + " GiB)");
    }
}

// The text as UTF-8, without its byte-order mark: a view of the bytes themselves when they
// are UTF-8 already, else a view of decoded, which holds the converted text.
std::string_view decodeText(std::span<const std::byte> bytes, std::string& decoded)
{
    const TextEncoding encoding =
        detectTextEncoding(bytes.first(std::min(bytes.size(), SniffSize)));
    bytes = bytes.subspan(encoding.bomSize);
    if (encoding.units) {
        // Room for text mostly of ASCII, so that converted text is not copied as it grows.
        decoded.reserve(bytes.size() / unitSize(*encoding.units));
        UnitDecoder decoder(*encoding.units);
        decoder.append(bytes, decoded);
        decoder.finish(decoded);
        return decoded;
    }
    if (isUtf8(bytes)) {
        return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    }
    // Text that is not UTF-8 was most likely written in the Western Windows code page, as
    // this program's own output is on a system with that code page.
    decoded.reserve(bytes.size());
    CodePageDecoder(1252).append(bytes, decoded);
    return decoded;
}

// A first line "sep=;" (any one character, the line also in quotes as some writers put it)
// names the delimiter, as spreadsheet programs read it; the line is not data. Takes the line
// off the text and gives the dialect it names, quoted fields included.
TextDialect takeSeparatorLine(std::string_view& text, TextDialect dialect)
{
    std::string_view line = text.substr(0, text.find_first_of("\r\n"));
    const std::size_t lineSize = line.size();
    if (line.size() == 7 && line.front() == '"' && line.back() == '"') {
        line = line.substr(1, 5);
    }
    if (line.size() != 5 || !asciiLowered(line.substr(0, 4)).starts_with("sep=")
        || static_cast<unsigned char>(line[4]) >= 0x80) {
        return dialect;
    }
    text.remove_prefix(lineSize);
    if (text.starts_with("\r\n")) {
        text.remove_prefix(2);
    } else if (!text.empty()) {
        text.remove_prefix(1);
    }
    // A quote cannot both delimit and quote fields.
    return {line[4], line[4] != '"'};
}

// Web pages and XML spreadsheets are often saved with a ".xls" name; read as delimited text
// they would give their markup as cells.
bool isMarkup(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || text[start] != '<') {
        return false;
    }
    const std::string head = asciiLowered(text.substr(start, SniffSize));
    for (const std::string_view marker : {"<?xml", "<!doctype", "<html", "<table", "<head"}) {
        if (head.find(marker) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Appends quoted text, CR LF line breaks as LF, as spreadsheet programs keep line breaks in
// cells; a lone CR stays.
void appendQuoted(std::string_view text, std::string& field)
{
    std::size_t cr = text.find("\r\n");
    while (cr != std::string_view::npos) {
        field.append(text.substr(0, cr));
        text.remove_prefix(cr + 1);
        cr = text.find("\r\n");
    }
    field.append(text);
}

// A text file opened to be read block by block.
class TextFile
{
public:
    explicit TextFile(const std::filesystem::path& path)
        : m_descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (m_descriptor.fd < 0) {
            throw ReadError(ReadError::Reason::FileNotOpened,
                            std::generic_category().message(errno));
        }

        struct stat info
        {};

        if (::fstat(m_descriptor.fd, &info) != 0) {
            throw ReadError(ReadError::Reason::FileNotRead);
        }
        m_size = static_cast<std::uint64_t>(info.st_size);
        checkTextFileSize(m_size);
    }

    // The size when opened.
    [[nodiscard]] std::uint64_t size() const { return m_size; }

    // Fills block, short only at the end of the file; the bytes read.
    std::span<const std::byte> read(std::span<std::byte> block)
    {
        std::size_t filled = 0;
        while (filled < block.size()) {
            const ::ssize_t got =
                ::read(m_descriptor.fd, block.data() + filled, block.size() - filled);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throw ReadError(ReadError::Reason::FileNotRead);
            }
            if (got == 0) {
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        return block.first(filled);
    }

private:
    // Closed however the constructor ends.
    struct Descriptor
    {
        explicit Descriptor(int descriptor)
            : fd(descriptor)
        {}

        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;

        ~Descriptor()
        {
            if (fd >= 0) {
                ::close(fd);
            }
        }

        int fd;
    };

    Descriptor m_descriptor;
    std::uint64_t m_size = 0;
};

// The text of a file as UTF-8, read when its sheet is loaded: the file may be far larger
// than the sheet's cells need, so nothing of it is held while the workbook waits. UTF-16 and
// UTF-32 are decoded into decoded block by block as they are read, so the file's own bytes
// are never held beside their text; other text is read whole into bytes and given as
// decodeText gives it.
std::string_view
readFileText(const std::filesystem::path& path, std::vector<std::byte>& bytes, std::string& decoded)
{
    TextFile file(path);
    std::array<std::byte, 1 << 16> block{};
    std::span<const std::byte> got = file.read(block);
    const TextEncoding encoding = detectTextEncoding(got.first(std::min(got.size(), SniffSize)));
    if (encoding.units) {
        // Room for text mostly of ASCII, so that the text is not copied as it grows.
        decoded.reserve(static_cast<std::size_t>(file.size() / unitSize(*encoding.units)));
        UnitDecoder decoder(*encoding.units);
        decoder.append(got.subspan(encoding.bomSize), decoded);
        while (!(got = file.read(block)).empty()) {
            decoder.append(got, decoded);
            checkTextFileSize(decoded.size());
        }
        decoder.finish(decoded);
        return decoded;
    }
    // Not zeroed first: a page of the buffer is touched only when the file's bytes fill it.
    bytes.reserve(static_cast<std::size_t>(file.size()));
    while (!got.empty()) {
        bytes.insert(bytes.end(), got.begin(), got.end());
        checkTextFileSize(bytes.size());
        got = file.read(block);
    }
    return decodeText(bytes, decoded);
}

class TextWorkbook final : public Workbook
{
public:
    // The bytes come from bytes, or, when path is given, from the file when the sheet loads.
    TextWorkbook(std::string fileName,
                 std::filesystem::path path,
                 std::vector<std::byte> bytes,
                 TextDialect dialect)
        : m_fileName(std::move(fileName))
        , m_sheetName(m_fileName.substr(0, m_fileName.rfind('.')))
        , m_path(std::move(path))
        , m_bytes(std::move(bytes))
        , m_dialect(dialect)
    {
        if (m_sheetName.empty()) {
            m_sheetName = m_fileName;
        }
    }

    [[nodiscard]] std::string_view name() const override { return m_fileName; }

    [[nodiscard]] std::int32_t sheetCount() const override { return 1; }

    [[nodiscard]] std::string_view sheetName(std::int32_t index) const override
    {
        requireSheet(index);
        return m_sheetName;
    }

    [[nodiscard]] Sheet loadSheet(std::int32_t index) override
    {
        requireSheet(index);
        return named([&] { return parse(*loadText()); });
    }

    // A text of more than WholeBytes is read twice, the second time in bands of rows; its
    // bytes are held meanwhile, as they are while a sheet is loaded whole.
    [[nodiscard]] std::unique_ptr<SheetParts> loadSheetInParts(std::int32_t index) override
    {
        requireSheet(index);
        return named([&]() -> std::unique_ptr<SheetParts> {
            std::shared_ptr<const LoadedText> loaded = loadText();
            // A few long lines are held whole, and the file's bytes go before the walk.
            if (loaded->text.size() <= WholeBytes || !hasMoreLines(loaded->text, WholeLines)) {
                return std::make_unique<WholeSheetParts>(parse(*loaded));
            }
            BandTally tally;
            parse(*loaded, tally.handOver());
            const UsedRange range = tally.summary().usedRange;
            try {
                return std::make_unique<ThreadedSheetParts>(
                    tally.summary(), [this, loaded, range](const HandOver& handOver) {
                        named([&] {
                            parse(*loaded, handOver, range);
                            return 0;
                        });
                    });
            } catch (const std::system_error&) {
                return std::make_unique<WholeSheetParts>(parse(*loaded));
            }
        });
    }

private:
    void requireSheet(std::int32_t index) const
    {
        if (index != 1) {
            throw ReadError::noSuchSheet(index, m_fileName);
        }
    }

    static constexpr std::size_t WholeBytes = std::size_t{8} << 20;
    static constexpr std::size_t WholeLines = 65536;

    // Whether text has more than lines line feeds.
    static bool hasMoreLines(std::string_view text, std::size_t lines)
    {
        std::size_t found = 0;
        for (const char* at = text.data(); found <= lines; ++found, ++at) {
            const std::size_t left = text.size() - static_cast<std::size_t>(at - text.data());
            at = static_cast<const char*>(std::memchr(at, '\n', left));
            if (!at) {
                return false;
            }
        }
        return true;
    }

    // The text of the file, and the bytes it is held in.
    struct LoadedText
    {
        std::vector<std::byte> read;
        std::string decoded;
        std::string_view text;
        TextDialect dialect; // the reader's, or the one a "sep=" line names
    };

    // What f returns; a failure names the file.
    template <typename F>
    auto named(F&& f) const -> decltype(f())
    {
        try {
            return f();
        } catch (ReadError& e) {
            e.nameFile(m_fileName);
            throw;
        } catch (const std::bad_alloc&) {
            throw ReadError(ReadError::Reason::OutOfMemory, {}, {.file = m_fileName});
        }
    }

    [[nodiscard]] std::shared_ptr<const LoadedText> loadText() const
    {
        auto loaded = std::make_shared<LoadedText>();
        std::vector<std::byte>& read = loaded->read;
        std::string& decoded = loaded->decoded;
        std::string_view text =
            m_path.empty() ? decodeText(m_bytes, decoded) : readFileText(m_path, read, decoded);
        if (!decoded.empty()) {
            // The converted text is all the sheet needs.
            read = {};
        }
        // Opening looked at the file's start; a file changed since, or one whose markup comes
        // after more blanks than that, is refused here.
        if (isMarkup(text)) {
            throw ReadError(ReadError::Reason::MarkupText);
        }
        loaded->dialect = takeSeparatorLine(text, m_dialect);
        loaded->text = text;
        return loaded;
    }

    [[nodiscard]] Sheet parse(const LoadedText& loaded) const
    {
        SheetBuilder builder(m_sheetName, nullptr);
        // The fields together are never longer than the text.
        builder.reserveText(loaded.text.size());
        parseInto(loaded.text, loaded.dialect, builder, nullptr);
        return builder.finish();
    }

    // Hands over the sheet in bands of rows whose used range is at least atLeast.
    void parse(const LoadedText& loaded, const HandOver& handOver, UsedRange atLeast = {}) const
    {
        SheetBuilder builder(m_sheetName, nullptr);
        RowBands bands(builder, handOver, atLeast);
        parseInto(loaded.text, loaded.dialect, builder, &bands);
        bands.finish();
    }

    void parseInto(std::string_view text,
                   TextDialect dialect,
                   SheetBuilder& builder,
                   RowBands* bands) const;

    std::string m_fileName;
    std::string m_sheetName;
    std::filesystem::path m_path;
    std::vector<std::byte> m_bytes;
    TextDialect m_dialect;
};

void TextWorkbook::parseInto(std::string_view text,
                             TextDialect dialect,
                             SheetBuilder& builder,
                             RowBands* bands) const
{
    const char delimiter = dialect.delimiter;
    const std::size_t size = text.size();
    std::int32_t row = 1;
    std::int32_t column = 1;
    std::string field;
    std::size_t pos = 0;
    while (pos < size) {
        field.clear();
        const bool quoted = dialect.quoting && text[pos] == '"';
        if (quoted) {
            // A quoted field runs to the next lone quote; a doubled quote stands for one.
            // An unclosed quote takes the rest of the file, as other readers do. A CR LF never
            // spans a quote, so the pieces between quotes are converted one by one.
            ++pos;
            while (pos < size) {
                const std::size_t quote = text.find('"', pos);
                if (quote == std::string_view::npos) {
                    appendQuoted(text.substr(pos), field);
                    pos = size;
                    break;
                }
                appendQuoted(text.substr(pos, quote - pos), field);
                pos = quote + 1;
                if (pos < size && text[pos] == '"') {
                    field += '"';
                    ++pos;
                } else {
                    break;
                }
            }
        }
        // Unquoted text, or text after a closing quote (not allowed by RFC 4180, but kept
        // as written rather than lost), runs to the next delimiter or line end.
        std::size_t stop = pos;
        while (stop < size && text[stop] != delimiter && text[stop] != '\r' && text[stop] != '\n') {
            ++stop;
        }
        // An unquoted field goes from the text into the sheet as it is, never copied whole:
        // one field may be most of a file of gigabytes.
        std::string_view value = text.substr(pos, stop - pos);
        if (quoted) {
            value = field.append(value);
        }
        pos = stop;

        if (!value.empty()) {
            if (row > MaxRows) {
                throw ReadError(ReadError::Reason::TooLargeForSheet,
                                "it has more than " + std::to_string(MaxRows) + " lines");
            }
            if (column > MaxColumns) {
                throw ReadError(ReadError::Reason::TooLargeForSheet,
                                "line " + std::to_string(row) + " has more than "
                                    + std::to_string(MaxColumns) + " fields");
            }
            if (bands) {
                bands->beforeCell(row);
            }
            builder.addText(row, column, value, 0);
        }
        if (pos >= size) {
            break;
        }
        if (text[pos] == delimiter) {
            ++column;
            ++pos;
            continue;
        }
        // A line end: CR LF, LF or a lone CR.
        if (text[pos] == '\r' && pos + 1 < size && text[pos + 1] == '\n') {
            ++pos;
        }
        ++pos;
        ++row;
        column = 1;
    }
}

} // namespace

bool looksLikeText(std::span<const std::byte> bytes)
{
    const TextEncoding encoding =
        detectTextEncoding(bytes.first(std::min(bytes.size(), SniffSize)));
    if (encoding.units || encoding.bomSize > 0) {
        return true;
    }
    const std::span<const std::byte> head = bytes.first(std::min(bytes.size(), SniffSize));
    std::size_t controls = 0;
    for (const std::byte b : head) {
        const auto c = std::to_integer<unsigned char>(b);
        if (c == 0) {
            return false;
        }
        // Tab, line feed, vertical tab, form feed, carriage return, end-of-file mark and
        // escape occur in real text exports; other control bytes mark binary data.
        const bool usual = (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x1B;
        if (c < 0x20 && !usual) {
            ++controls;
        }
    }
    return controls * 100 <= head.size();
}

TextDialect dialectForName(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    const std::string extension =
        asciiLowered(dot == std::string_view::npos ? "" : fileName.substr(dot + 1));
    if (extension == "csv") {
        return {',', true};
    }
    if (extension == "tsv") {
        return {'\t', true};
    }
    return {'\t', false};
}

std::unique_ptr<Workbook>
openDelimitedText(std::string fileName, std::span<const std::byte> bytes, TextDialect dialect)
{
    std::string decoded;
    if (isMarkup(decodeText(bytes, decoded))) {
        throw ReadError(ReadError::Reason::MarkupText, {}, {.file = fileName});
    }
    return std::make_unique<TextWorkbook>(std::move(fileName),
                                          std::filesystem::path(),
                                          std::vector<std::byte>(bytes.begin(), bytes.end()),
                                          dialect);
}

std::unique_ptr<Workbook>
openDelimitedTextFile(const std::filesystem::path& path, std::string fileName, TextDialect dialect)
{
    try {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (!error) {
            checkTextFileSize(size);
        }
        // Markup shows at the start: enough of it is read to tell.
        std::ifstream in(path, std::ios::binary);
        std::vector<std::byte> head(MarkupSniffSize);
        in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        std::string decoded;
        if (isMarkup(decodeText(head, decoded))) {
            throw ReadError(ReadError::Reason::MarkupText);
        }
    } catch (ReadError& e) {
        e.nameFile(fileName);
        throw;
    }
    return std::make_unique<TextWorkbook>(
        std::move(fileName), path, std::vector<std::byte>(), dialect);
}

} // namespace sheetfray::engine::readers
