// The forms a text file can take besides the plain line: quoted fields, JSON, and the
// character encodings a file can be written in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::engine {

struct LineText;

// Puts every field of the line that holds the separator, a double quote, CR or LF between
// double quotes, each inner quote doubled, as CSV readers expect; the separator offsets follow.
// A line without such a field is left as it is.
void quoteFields(LineText& line, std::string_view separator);

// The same for one field standing alone (a cell file): it has no separator to hold, so only
// a double quote, CR or LF make it quoted.
void quoteField(std::string& text);

// The text as a JSON string, quotes included: control characters and the two line
// separators of JavaScript are escaped, and a byte that is not UTF-8 becomes U+FFFD.
void appendJsonString(std::string_view text, std::string& out);

// Each position's text of the line, as separator-length bytes part them.
[[nodiscard]] std::vector<std::string_view> fieldsOf(const LineText& line,
                                                     std::size_t separatorLength);

// The keys a header line gives its columns: its texts, but a blank text or one an earlier
// column has already taken takes the column's letters ("C"), made unique as "C (2)" if need be.
[[nodiscard]] std::vector<std::string> headerKeys(const LineText& line,
                                                  std::size_t separatorLength);

// The line as one JSON line ending in "\n": an array of its texts, or with keys an object.
void appendJsonLine(const LineText& line,
                    std::size_t separatorLength,
                    const std::vector<std::string>* keys,
                    std::string& out);

// A character encoding of output files: UTF-8 (with or without a byte order mark), UTF-16LE
// with a byte order mark, or any that iconv knows. A character the encoding lacks becomes "?".
class TextEncoding
{
public:
    // By name, case ignored: "utf-8", "utf-8-bom", "utf-16le", or an iconv name ("cp1252").
    // Throws Error when no such encoding is known.
    static TextEncoding named(const std::string& name);

    // Whether files are written as the engine holds text, UTF-8 without a byte order mark.
    [[nodiscard]] bool isPlainUtf8() const { return m_form == Form::Utf8; }

    [[nodiscard]] const std::string& name() const { return m_name; }

    // The bytes of the UTF-8 text in this encoding, a byte order mark first where it has one.
    [[nodiscard]] std::string encode(std::string_view utf8) const;

private:
    enum class Form { Utf8, Utf8Bom, Utf16Le, Iconv };

    TextEncoding() = default;

    Form m_form = Form::Utf8;
    std::string m_name;
    std::string m_questionMark; // "?" in this encoding
};

} // namespace sheetfray::engine
