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
#include <optional>
#include <span>
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

// Splits delimited text into fields, the text given whole or in pieces cut anywhere (inside
// a quoted field, between a CR and its LF, inside a character): each non-empty field goes to
// sink.cell(row, column, text) as soon as it ends. A field that lies within one piece goes as
// a view of the piece, not copied.
template <typename Sink>
class FieldSplitter
{
public:
    FieldSplitter(TextDialect dialect, Sink& sink)
        : m_dialect(dialect)
        , m_sink(sink)
    {}

    void feed(std::string_view text);
    // Ends the text: a field still open (an unclosed quote takes the rest, as other readers
    // do) goes to the sink.
    void finish();

private:
    enum class State : std::uint8_t {
        FieldStart,
        Unquoted, // unquoted text, or text after a closing quote, begun in an earlier piece
        Quoted,
        QuotedCr, // a CR inside quotes ended the last piece: an LF after it makes it LF
        QuoteSeen, // a quote inside quotes ended the last piece: closing, or doubled
        LineCr, // a CR ended a line: an LF after it belongs to it
    };

    // Where the unquoted text from pos ends: a delimiter, a line end, or the text's end.
    [[nodiscard]] std::size_t fieldEnd(std::string_view text, std::size_t pos) const
    {
        const char delimiter = m_dialect.delimiter;
        while (pos < text.size() && text[pos] != delimiter && text[pos] != '\r'
               && text[pos] != '\n') {
            ++pos;
        }
        return pos;
    }

    void emit(std::string_view value);
    // Takes the delimiter or line end at pos.
    void endField(std::string_view text, std::size_t& pos);

    TextDialect m_dialect;
    Sink& m_sink;
    State m_state = State::FieldStart;
    // Wider than a row or column number: empty lines and fields count without bound.
    std::int64_t m_row = 1;
    std::int64_t m_column = 1;
    std::string m_field; // the open field's text, when it is not a view of the piece
};

template <typename Sink>
void FieldSplitter<Sink>::feed(std::string_view text)
{
    const std::size_t size = text.size();
    std::size_t pos = 0;
    while (pos < size) {
        switch (m_state) {
        case State::LineCr:
            if (text[pos] == '\n') {
                ++pos;
            }
            m_state = State::FieldStart;
            break;
        case State::FieldStart: {
            m_field.clear();
            if (m_dialect.quoting && text[pos] == '"') {
                ++pos;
                m_state = State::Quoted;
                break;
            }
            // An unquoted field goes from the text into the sheet as it is, never copied
            // whole: one field may be most of a file of gigabytes.
            const std::size_t stop = fieldEnd(text, pos);
            if (stop == size) {
                m_field.assign(text.substr(pos));
                m_state = State::Unquoted;
                return;
            }
            emit(text.substr(pos, stop - pos));
            pos = stop;
            endField(text, pos);
            break;
        }
        case State::Unquoted: {
            // Unquoted text, or text after a closing quote (not allowed by RFC 4180, but kept
            // as written rather than lost), runs to the next delimiter or line end.
            const std::size_t stop = fieldEnd(text, pos);
            m_field.append(text.substr(pos, stop - pos));
            if (stop == size) {
                return;
            }
            emit(m_field);
            pos = stop;
            endField(text, pos);
            break;
        }
        case State::Quoted: {
            // A quoted field runs to the next lone quote; a doubled quote stands for one. A
            // CR LF never spans a quote, so the pieces between quotes are converted one by one.
            const std::size_t quote = text.find('"', pos);
            if (quote == std::string_view::npos) {
                std::string_view rest = text.substr(pos);
                if (rest.ends_with('\r')) {
                    rest.remove_suffix(1);
                    m_state = State::QuotedCr;
                }
                appendQuoted(rest, m_field);
                return;
            }
            appendQuoted(text.substr(pos, quote - pos), m_field);
            pos = quote + 1;
            m_state = State::QuoteSeen;
            break;
        }
        case State::QuotedCr:
            if (text[pos] == '\n') {
                m_field += '\n';
                ++pos;
            } else {
                m_field += '\r';
            }
            m_state = State::Quoted;
            break;
        case State::QuoteSeen:
            if (text[pos] == '"') {
                m_field += '"';
                ++pos;
                m_state = State::Quoted;
            } else {
                m_state = State::Unquoted;
            }
            break;
        }
    }
}

template <typename Sink>
void FieldSplitter<Sink>::finish()
{
    switch (m_state) {
    case State::FieldStart:
    case State::LineCr:
        break;
    case State::QuotedCr:
        m_field += '\r';
        emit(m_field);
        break;
    case State::Unquoted:
    case State::Quoted:
    case State::QuoteSeen:
        emit(m_field);
        break;
    }
    m_field.clear();
    m_state = State::FieldStart;
}

template <typename Sink>
void FieldSplitter<Sink>::emit(std::string_view value)
{
    if (value.empty()) {
        return;
    }
    if (m_row > MostTextLines) {
        throw ReadError(ReadError::Reason::TooLargeForSheet,
                        "it has more than " + std::to_string(MostTextLines) + " lines");
    }
    if (m_column > MaxColumns) {
        throw ReadError(ReadError::Reason::TooLargeForSheet,
                        "line " + std::to_string(m_row) + " has more than "
                            + std::to_string(MaxColumns) + " fields");
    }
    m_sink.cell(static_cast<std::int32_t>(m_row), static_cast<std::int32_t>(m_column), value);
}

template <typename Sink>
void FieldSplitter<Sink>::endField(std::string_view text, std::size_t& pos)
{
    if (text[pos] == m_dialect.delimiter) {
        ++m_column;
        ++pos;
        m_state = State::FieldStart;
        return;
    }
    // A line end: CR LF, LF or a lone CR.
    m_state = text[pos] == '\r' ? State::LineCr : State::FieldStart;
    ++pos;
    ++m_row;
    m_column = 1;
}

// The bytes of a text: a file, read a block at a time from any offset, or bytes held already.
class ByteSource
{
public:
    explicit ByteSource(const std::filesystem::path& path)
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

    explicit ByteSource(std::span<const std::byte> bytes)
        : m_descriptor(-1)
        , m_bytes(bytes)
        , m_size(bytes.size())
    {}

    // The size when opened.
    [[nodiscard]] std::uint64_t size() const { return m_size; }

    // The bytes from offset on, as many as block holds, fewer only at the end: held bytes are
    // given as they are, a file's are read into block.
    std::span<const std::byte> read(std::uint64_t offset, std::span<std::byte> block)
    {
        if (m_descriptor.fd < 0) {
            const std::size_t from = static_cast<std::size_t>(std::min(offset, m_size));
            return m_bytes.subspan(from, std::min(block.size(), m_bytes.size() - from));
        }
        std::size_t filled = 0;
        while (filled < block.size()) {
            const ::ssize_t got = ::pread(m_descriptor.fd,
                                          block.data() + filled,
                                          block.size() - filled,
                                          static_cast<::off_t>(offset + filled));
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
    std::span<const std::byte> m_bytes;
    std::uint64_t m_size = 0;
};

// The text of a source as UTF-8, read when its sheet is loaded: the file may be far larger
// than the sheet's cells need, so nothing of it is held while the workbook waits. UTF-16 and
// UTF-32 are decoded into decoded block by block as they are read, so the file's own bytes
// are never held beside their text; other text is read whole into bytes and given as
// decodeText gives it.
std::string_view readWholeText(ByteSource& source,
                               std::size_t blockSize,
                               std::vector<std::byte>& bytes,
                               std::string& decoded)
{
    std::vector<std::byte> block(std::max(blockSize, SniffSize));
    std::uint64_t offset = 0;
    std::span<const std::byte> got = source.read(offset, block);
    const TextEncoding encoding = detectTextEncoding(got.first(std::min(got.size(), SniffSize)));
    if (encoding.units) {
        // Room for text mostly of ASCII, so that the text is not copied as it grows.
        decoded.reserve(static_cast<std::size_t>(source.size() / unitSize(*encoding.units)));
        UnitDecoder decoder(*encoding.units);
        decoder.append(got.subspan(std::min(got.size(), encoding.bomSize)), decoded);
        while (!got.empty()) {
            offset += got.size();
            got = source.read(offset, block);
            decoder.append(got, decoded);
            checkTextFileSize(decoded.size());
        }
        decoder.finish(decoded);
        return decoded;
    }
    // Not zeroed first: a page of the buffer is touched only when the file's bytes fill it.
    bytes.reserve(static_cast<std::size_t>(source.size()));
    while (!got.empty()) {
        bytes.insert(bytes.end(), got.begin(), got.end());
        checkTextFileSize(bytes.size());
        offset += got.size();
        got = source.read(offset, block);
    }
    return decodeText(bytes, decoded);
}

// How the bytes of a text after its byte-order mark become UTF-8.
enum class TextForm : std::uint8_t {
    Units, // UTF-16 or UTF-32
    Utf8,
    Windows1252, // text that is not UTF-8 throughout
    Unknown, // UTF-8 or Windows-1252, not known before every byte is seen
};

// How long the start of text is, without a last character whose bytes it holds only some
// of: what can be checked as UTF-8 before the bytes that follow are read.
std::size_t wholeCharacters(std::span<const std::byte> text)
{
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, size); ++back) {
        const auto byte = std::to_integer<unsigned char>(text[size - back]);
        if ((byte & 0xC0) == 0x80) {
            continue; // a continuation byte: its lead is further back
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

// Reads the text of a source block by block, as UTF-8, from after its byte-order mark.
class TextBlocks
{
public:
    TextBlocks(ByteSource& source, std::size_t blockSize, TextEncoding encoding, TextForm form)
        : m_source(source)
        , m_block(blockSize)
        , m_offset(encoding.bomSize)
        , m_form(form)
    {
        if (encoding.units) {
            m_units.emplace(*encoding.units);
        } else if (form == TextForm::Windows1252) {
            m_codePage.emplace(1252);
        }
    }

    // Gives the next piece of text, which may be empty (a block that ends inside a unit);
    // false after the last. An Unknown form gives the bytes as they are, and tells whether
    // they were UTF-8 throughout once the last piece was given.
    bool next(std::string_view& text)
    {
        if (m_ended) {
            return false;
        }
        const std::span<const std::byte> got = m_source.read(m_offset, m_block);
        m_offset += got.size();
        m_ended = got.empty();
        if (m_units) {
            m_decoded.clear();
            m_units->append(got, m_decoded);
            if (m_ended) {
                m_units->finish(m_decoded);
            }
            text = m_decoded;
            return true;
        }
        if (m_codePage) {
            m_decoded.clear();
            m_codePage->append(got, m_decoded);
            text = m_decoded;
            return true;
        }
        if (m_form == TextForm::Unknown && m_utf8) {
            // A character cut by the block's end is checked whole with the next block.
            m_partial.insert(m_partial.end(), got.begin(), got.end());
            const std::size_t whole = m_ended ? m_partial.size() : wholeCharacters(m_partial);
            m_utf8 = isUtf8(std::span(m_partial).first(whole));
            m_partial.erase(m_partial.begin(),
                            m_partial.begin() + static_cast<std::ptrdiff_t>(whole));
        }
        text = {reinterpret_cast<const char*>(got.data()), got.size()};
        return true;
    }

    // Whether the bytes read so far were UTF-8 (for an Unknown form, at the end: all of them).
    [[nodiscard]] bool utf8() const { return m_utf8; }

private:
    ByteSource& m_source;
    std::vector<std::byte> m_block;
    std::uint64_t m_offset;
    TextForm m_form;
    std::optional<UnitDecoder> m_units;
    std::optional<CodePageDecoder> m_codePage;
    std::string m_decoded;
    std::vector<std::byte> m_partial; // the start of a character cut by a block's end
    bool m_utf8 = true;
    bool m_ended = false;
};

// Text given in pieces, its "sep=" line taken off first, split into fields.
template <typename Sink>
class TextSplit
{
public:
    TextSplit(TextDialect dialect, Sink& sink)
        : m_dialect(dialect)
        , m_sink(sink)
    {}

    void feed(std::string_view text)
    {
        if (!m_splitter) {
            // The first line is a separator line when it has 5 or 7 characters: the 9 bytes
            // of a quoted one and its CR LF tell.
            constexpr std::size_t LineBytes = 9;
            const std::size_t take = std::min(text.size(), LineBytes - m_start.size());
            m_start.append(text.substr(0, take));
            text.remove_prefix(take);
            if (m_start.size() < LineBytes) {
                return;
            }
            start();
        }
        count(text);
        m_splitter->feed(text);
    }

    void finish()
    {
        if (!m_splitter) {
            start();
        }
        m_splitter->finish();
    }

    // The dialect of the text, the "sep=" line's if it has one; known once it was started.
    [[nodiscard]] TextDialect dialect() const { return m_dialect; }

    // Bytes of the text after its "sep=" line, and how many line feeds they hold (counted to
    // MostLineFeeds).
    [[nodiscard]] std::uint64_t bytes() const { return m_bytes; }

    [[nodiscard]] std::size_t lineFeeds() const { return m_lineFeeds; }

    static constexpr std::size_t MostLineFeeds = std::size_t{1} << 20;

private:
    void start()
    {
        std::string_view text = m_start;
        m_dialect = takeSeparatorLine(text, m_dialect);
        m_splitter.emplace(m_dialect, m_sink);
        count(text);
        m_splitter->feed(text);
    }

    void count(std::string_view text)
    {
        m_bytes += text.size();
        if (m_lineFeeds < MostLineFeeds) {
            m_lineFeeds += static_cast<std::size_t>(std::ranges::count(text, '\n'));
        }
    }

    TextDialect m_dialect;
    Sink& m_sink;
    std::string m_start; // the text's first bytes, until the separator line is told
    std::optional<FieldSplitter<Sink>> m_splitter;
    std::uint64_t m_bytes = 0;
    std::size_t m_lineFeeds = 0;
};

// The cells of a text as a sheet's summary, none of them held: the first of two readings.
class CellCount
{
public:
    void cell(std::int32_t row, std::int32_t column, std::string_view text)
    {
        m_range.lastRow = std::max(m_range.lastRow, row);
        m_range.lastColumn = std::max(m_range.lastColumn, column);
        const auto c = static_cast<std::size_t>(column);
        if (c >= m_columns.size()) {
            m_columns.resize(c + 1);
            m_textBytes.resize(c + 1);
        }
        ++m_columns[c];
        m_textBytes[c] += text.size();
        ++m_cells;
    }

    // As a reading of the sheet in bands gives it (see BandTally).
    [[nodiscard]] SheetSummary summary() const
    {
        SheetSummary summary;
        summary.usedRange = m_range;
        summary.storedCells = m_cells;
        summary.valuedCells = m_cells;
        summary.columnCells = m_columns;
        summary.columnCells.resize(static_cast<std::size_t>(m_range.lastColumn) + 1);
        summary.columnTextBytes = m_textBytes;
        summary.columnTextBytes.resize(summary.columnCells.size());
        return summary;
    }

private:
    UsedRange m_range;
    std::uint64_t m_cells = 0;
    std::vector<std::uint64_t> m_columns;
    std::vector<std::uint64_t> m_textBytes; // every cell's text is its own
};

// Cells into a builder, handed over in bands when bands is given.
class CellsInto
{
public:
    CellsInto(SheetBuilder& builder, RowBands* bands)
        : m_builder(builder)
        , m_bands(bands)
    {}

    void cell(std::int32_t row, std::int32_t column, std::string_view text)
    {
        if (m_bands) {
            m_bands->beforeCell(row);
        }
        m_builder.addText(row, column, text, 0);
    }

private:
    SheetBuilder& m_builder;
    RowBands* m_bands;
};

// Whether text is markup, told as loading the text whole tells it (isMarkup of the whole
// text) without holding more than its first characters. Units are decoded; for other text the
// bytes are looked at both as UTF-8 and as Windows-1252, and only where the two differ is the
// whole text checked for UTF-8 first.
bool startsWithMarkup(ByteSource& source,
                      std::size_t blockSize,
                      TextEncoding encoding,
                      TextForm& form)
{
    std::string head;
    TextBlocks blocks(
        source, blockSize, encoding, encoding.units ? TextForm::Units : TextForm::Utf8);
    bool started = false;
    std::string_view text;
    while (head.size() < SniffSize && blocks.next(text)) {
        if (!started) {
            const std::size_t start = text.find_first_not_of(" \t\r\n");
            if (start == std::string_view::npos) {
                continue;
            }
            if (text[start] != '<') {
                return false;
            }
            started = true;
            text.remove_prefix(start);
        }
        head.append(text.substr(0, SniffSize - head.size()));
    }
    if (!started) {
        return false;
    }
    if (encoding.units) {
        return isMarkup(head);
    }
    std::string decoded;
    CodePageDecoder(1252).append(
        std::span(reinterpret_cast<const std::byte*>(head.data()), head.size()), decoded);
    const bool asUtf8 = isMarkup(head);
    if (asUtf8 == isMarkup(decoded)) {
        return asUtf8;
    }
    TextBlocks check(source, blockSize, encoding, TextForm::Unknown);
    while (check.next(text)) {
    }
    form = check.utf8() ? TextForm::Utf8 : TextForm::Windows1252;
    return form == TextForm::Utf8 ? asUtf8 : !asUtf8;
}

class TextWorkbook final : public Workbook
{
public:
    // The bytes come from bytes, or, when path is given, from the file when the sheet loads.
    TextWorkbook(std::string fileName,
                 std::filesystem::path path,
                 std::vector<std::byte> bytes,
                 TextDialect dialect,
                 TextReading reading)
        : m_fileName(std::move(fileName))
        , m_sheetName(m_fileName.substr(0, m_fileName.rfind('.')))
        , m_path(std::move(path))
        , m_bytes(std::move(bytes))
        , m_dialect(dialect)
        , m_reading(reading)
    {
        if (m_sheetName.empty()) {
            m_sheetName = m_fileName;
        }
        m_reading.blockSize = std::max<std::size_t>(m_reading.blockSize, 1);
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

    // A text of more than WholeBytes and WholeLines is read twice from the file, block by
    // block, holding neither its text nor its cells: first for its summary, then, on a
    // thread of its own, in bands of rows. A smaller one, or one of a few long lines, is held
    // whole.
    [[nodiscard]] std::unique_ptr<SheetParts> loadSheetInParts(std::int32_t index) override
    {
        requireSheet(index);
        return named([&]() -> std::unique_ptr<SheetParts> {
            std::unique_ptr<ByteSource> source = openSource();
            if (source->size() > m_reading.wholeBytes) {
                if (std::unique_ptr<SheetParts> parts = readInParts(*source)) {
                    return parts;
                }
            }
            source.reset();
            return loadWholeInParts();
        });
    }

private:
    void requireSheet(std::int32_t index) const
    {
        if (index != 1) {
            throw ReadError::noSuchSheet(index, m_fileName);
        }
    }

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

    // How a text is read block by block, as its first reading found.
    struct Plan
    {
        TextEncoding encoding;
        TextForm form = TextForm::Unknown;
        UsedRange range;
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

    [[nodiscard]] std::unique_ptr<ByteSource> openSource() const
    {
        return m_path.empty() ? std::make_unique<ByteSource>(std::span(m_bytes))
                              : std::make_unique<ByteSource>(m_path);
    }

    // The sheet read twice block by block; nothing when the first reading shows it is better
    // held whole.
    [[nodiscard]] std::unique_ptr<SheetParts> readInParts(ByteSource& source) const
    {
        std::array<std::byte, SniffSize> sniff{};
        const std::span<const std::byte> head = source.read(0, sniff);
        Plan plan;
        plan.encoding = detectTextEncoding(head);
        plan.form = plan.encoding.units ? TextForm::Units : TextForm::Unknown;
        // Opening looked at the file's start; a file changed since, or one whose markup comes
        // after more blanks than that, is refused here.
        if (startsWithMarkup(source, m_reading.blockSize, plan.encoding, plan.form)) {
            throw ReadError(ReadError::Reason::MarkupText);
        }
        CellCount count;
        TextSplit split(m_dialect, count);
        TextBlocks blocks(source, m_reading.blockSize, plan.encoding, plan.form);
        std::string_view text;
        while (blocks.next(text)) {
            split.feed(text);
        }
        split.finish();
        if (plan.form == TextForm::Unknown) {
            plan.form = blocks.utf8() ? TextForm::Utf8 : TextForm::Windows1252;
        }
        // Text of Windows-1252 is longer as UTF-8 than its bytes: a text the bytes show to be
        // large is so. One of a few long lines is held whole, and one too small for parts
        // too, as it is known only when decoded.
        if (split.bytes() <= m_reading.wholeBytes || split.lineFeeds() <= m_reading.wholeLines) {
            return nullptr;
        }
        SheetSummary summary = count.summary();
        plan.range = summary.usedRange;
        try {
            ThreadedSheetParts::Reading reading = [this, plan](const HandOver& handOver) {
                named([&] {
                    readBands(plan, handOver);
                    return 0;
                });
            };
            return std::make_unique<ThreadedSheetParts>(std::move(summary), std::move(reading));
        } catch (const std::system_error&) {
            return nullptr;
        }
    }

    // The second reading: hands over the sheet in bands of rows.
    void readBands(const Plan& plan, const HandOver& handOver) const
    {
        const std::unique_ptr<ByteSource> source = openSource();
        SheetBuilder builder(m_sheetName, nullptr);
        builder.allowRows(MostTextLines);
        RowBands bands(builder, handOver, plan.range);
        CellsInto cells(builder, &bands);
        TextSplit split(m_dialect, cells);
        TextBlocks blocks(*source, m_reading.blockSize, plan.encoding, plan.form);
        std::string_view text;
        while (blocks.next(text)) {
            split.feed(text);
        }
        split.finish();
        bands.finish();
    }

    // A text held whole: its sheet whole when it is small, else read twice from the text held.
    [[nodiscard]] std::unique_ptr<SheetParts> loadWholeInParts() const
    {
        std::shared_ptr<const LoadedText> loaded = loadText();
        // A few long lines are held whole, and the file's bytes go before the walk.
        if (loaded->text.size() <= m_reading.wholeBytes
            || !hasMoreLines(loaded->text, m_reading.wholeLines)) {
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
    }

    [[nodiscard]] std::shared_ptr<const LoadedText> loadText() const
    {
        auto loaded = std::make_shared<LoadedText>();
        std::vector<std::byte>& read = loaded->read;
        std::string& decoded = loaded->decoded;
        std::string_view text;
        if (m_path.empty()) {
            text = decodeText(m_bytes, decoded);
        } else {
            ByteSource source(m_path);
            text = readWholeText(source, m_reading.blockSize, read, decoded);
        }
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
        builder.allowRows(MostTextLines);
        // The fields together are never longer than the text.
        builder.reserveText(loaded.text.size());
        CellsInto cells(builder, nullptr);
        FieldSplitter splitter(loaded.dialect, cells);
        splitter.feed(loaded.text);
        splitter.finish();
        return builder.finish();
    }

    // Hands over the sheet in bands of rows whose used range is at least atLeast.
    void parse(const LoadedText& loaded, const HandOver& handOver, UsedRange atLeast = {}) const
    {
        SheetBuilder builder(m_sheetName, nullptr);
        builder.allowRows(MostTextLines);
        RowBands bands(builder, handOver, atLeast);
        CellsInto cells(builder, &bands);
        FieldSplitter splitter(loaded.dialect, cells);
        splitter.feed(loaded.text);
        splitter.finish();
        bands.finish();
    }

    std::string m_fileName;
    std::string m_sheetName;
    std::filesystem::path m_path;
    std::vector<std::byte> m_bytes;
    TextDialect m_dialect;
    TextReading m_reading;
};

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

std::unique_ptr<Workbook> openDelimitedText(std::string fileName,
                                            std::span<const std::byte> bytes,
                                            TextDialect dialect,
                                            TextReading reading)
{
    std::string decoded;
    if (isMarkup(decodeText(bytes, decoded))) {
        throw ReadError(ReadError::Reason::MarkupText, {}, {.file = fileName});
    }
    return std::make_unique<TextWorkbook>(std::move(fileName),
                                          std::filesystem::path(),
                                          std::vector<std::byte>(bytes.begin(), bytes.end()),
                                          dialect,
                                          reading);
}

std::unique_ptr<Workbook> openDelimitedTextFile(const std::filesystem::path& path,
                                                std::string fileName,
                                                TextDialect dialect,
                                                TextReading reading)
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
        std::move(fileName), path, std::vector<std::byte>(), dialect, reading);
}

} // namespace sheetfray::engine::readers
