#include "engine/readers/CsvReader.h"

#include "engine/readers/TextDecoding.h"
#include "support/Error.h"
#include "support/Text.h"

#include <algorithm>
#include <cstring>

namespace sheetfray::engine::readers {

namespace {

constexpr std::size_t SniffSize = 4096;

enum class Bom { None, Utf8, Utf16Le, Utf16Be };

Bom byteOrderMark(std::span<const std::byte> bytes)
{
    const auto at = [&](std::size_t i) { return std::to_integer<unsigned>(bytes[i]); };
    if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        return Bom::Utf8;
    }
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        return Bom::Utf16Le;
    }
    if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
        return Bom::Utf16Be;
    }
    return Bom::None;
}

// The text as UTF-8, without its byte-order mark.
std::string decodeText(std::span<const std::byte> bytes)
{
    std::string text;
    switch (byteOrderMark(bytes)) {
    case Bom::Utf8:
        bytes = bytes.subspan(3);
        break;
    case Bom::Utf16Le:
        appendUtf16Bytes(bytes.subspan(2), false, text);
        return text;
    case Bom::Utf16Be:
        appendUtf16Bytes(bytes.subspan(2), true, text);
        return text;
    case Bom::None:
        break;
    }
    if (isUtf8(bytes)) {
        text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    } else {
        // Text that is not UTF-8 was most likely written in the Western Windows code page,
        // as this program's own output is on a system with that code page.
        CodePageDecoder(1252).append(bytes, text);
    }
    return text;
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

class TextWorkbook final : public Workbook
{
public:
    TextWorkbook(std::string fileName, std::string text, TextDialect dialect)
        : m_fileName(std::move(fileName))
        , m_sheetName(m_fileName.substr(0, m_fileName.rfind('.')))
        , m_text(std::move(text))
        , m_delimiter(dialect.delimiter)
        , m_quoting(dialect.quoting)
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
        try {
            return parse();
        } catch (ReadError& e) {
            e.nameFile(m_fileName);
            throw;
        }
    }

private:
    void requireSheet(std::int32_t index) const
    {
        if (index != 1) {
            throw ReadError::noSuchSheet(index, m_fileName);
        }
    }

    [[nodiscard]] Sheet parse() const;

    std::string m_fileName;
    std::string m_sheetName;
    std::string m_text;
    char m_delimiter;
    bool m_quoting;
};

Sheet TextWorkbook::parse() const
{
    SheetBuilder builder(m_sheetName, nullptr);
    const std::string_view text = m_text;
    const std::size_t size = text.size();
    std::int32_t row = 1;
    std::int32_t column = 1;
    std::string field;
    std::size_t pos = 0;
    while (pos < size) {
        field.clear();
        if (m_quoting && text[pos] == '"') {
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
        while (stop < size && text[stop] != m_delimiter && text[stop] != '\r'
               && text[stop] != '\n') {
            ++stop;
        }
        field.append(text.substr(pos, stop - pos));
        pos = stop;

        if (!field.empty()) {
            if (row > MaxRows) {
                throw ReadError(ReadError::Reason::TooLargeForSheet,
                                "it has more than " + std::to_string(MaxRows) + " lines");
            }
            if (column > MaxColumns) {
                throw ReadError(ReadError::Reason::TooLargeForSheet,
                                "line " + std::to_string(row) + " has more than "
                                    + std::to_string(MaxColumns) + " fields");
            }
            builder.addText(row, column, field, 0);
        }
        if (pos >= size) {
            break;
        }
        if (text[pos] == m_delimiter) {
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
    return builder.finish();
}

} // namespace

bool looksLikeText(std::span<const std::byte> bytes)
{
    if (byteOrderMark(bytes) != Bom::None) {
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
    std::string text = decodeText(bytes);
    if (isMarkup(text)) {
        throw ReadError(ReadError::Reason::MarkupText, {}, {.file = fileName});
    }
    return std::make_unique<TextWorkbook>(std::move(fileName), std::move(text), dialect);
}

} // namespace sheetfray::engine::readers
