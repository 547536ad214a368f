#include "engine/TextOutput.h"

#include "engine/CodePage.h"
#include "engine/LineText.h"
#include "engine/Naming.h"
#include "support/Error.h"
#include "support/Quote.h"
#include "support/Text.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <unordered_set>

namespace sheetfray::engine {

namespace {

bool needsQuotes(std::string_view field, std::string_view separator)
{
    return field.find_first_of("\"\r\n") != std::string_view::npos
        || (!separator.empty() && field.find(separator) != std::string_view::npos);
}

void appendQuoted(std::string_view field, std::string& out)
{
    out += '"';
    for (const char ch : field) {
        if (ch == '"') {
            out += '"';
        }
        out += ch;
    }
    out += '"';
}

struct IconvCloser
{
    void operator()(iconv_t handle) const { iconv_close(handle); }
};

using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle openIconv(const std::string& to)
{
    iconv_t handle = iconv_open(to.c_str(), "UTF-8");
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    return IconvHandle(handle);
}

// Converts the whole text; a character the encoding lacks (or a byte that is not UTF-8)
// becomes questionMark. Empty questionMark: the conversion fails instead (returns false).
bool convert(iconv_t handle, std::string_view utf8, std::string_view questionMark, std::string& out)
{
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    std::string buffer(utf8.size() * 2 + 16, '\0');
    // iconv takes a non-const input pointer but does not write through it.
    char* in = const_cast<char*>(utf8.data()); // NOLINT(cppcoreguidelines-pro-type-const-cast)
    std::size_t inLeft = utf8.size();
    std::size_t used = 0;
    for (;;) {
        char* outPtr = buffer.data() + used;
        std::size_t outLeft = buffer.size() - used;
        const std::size_t result = inLeft == 0 ? iconv(handle, nullptr, nullptr, &outPtr, &outLeft)
                                               : iconv(handle, &in, &inLeft, &outPtr, &outLeft);
        used = buffer.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) {
                break;
            }
            continue;
        }
        if (errno == E2BIG) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (questionMark.empty()) {
            return false;
        }
        // EILSEQ or EINVAL: the character at in cannot be written (or is not UTF-8).
        std::size_t skip = 0;
        decodeUtf8(std::string_view(in, inLeft), skip);
        in += skip;
        inLeft -= skip;
        if (buffer.size() - used < questionMark.size()) {
            buffer.resize(buffer.size() * 2 + questionMark.size());
        }
        buffer.replace(used, questionMark.size(), questionMark);
        used += questionMark.size();
    }
    buffer.resize(used);
    out += buffer;
    return true;
}

// The text with each byte that is not UTF-8 as U+FFFD, as a JSON file holds it.
std::string validUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        appendUtf8(decodeUtf8(text, pos), out);
    }
    return out;
}

// "UTF-8", "utf8" and "Utf_8" alike: lower case without "-" and "_".
std::string simplified(std::string_view name)
{
    std::string out;
    for (const char ch : name) {
        if (ch != '-' && ch != '_') {
            out += asciiLower(ch);
        }
    }
    return out;
}

} // namespace

void quoteFields(LineText& line, std::string_view separator)
{
    std::size_t from = 0;
    bool any = false;
    for (const std::size_t offset : line.separatorOffsets) {
        if (needsQuotes(std::string_view(line.text).substr(from, offset - from), separator)) {
            any = true;
            break;
        }
        from = offset + separator.size();
    }
    if (!any) {
        return;
    }
    std::string quoted;
    quoted.reserve(line.text.size() + 16);
    from = 0;
    for (std::size_t& offset : line.separatorOffsets) {
        const std::string_view field = std::string_view(line.text).substr(from, offset - from);
        if (needsQuotes(field, separator)) {
            appendQuoted(field, quoted);
        } else {
            quoted += field;
        }
        from = offset + separator.size();
        offset = quoted.size();
        quoted += separator;
    }
    quoted.append(line.text, from);
    line.text = std::move(quoted);
}

void quoteField(std::string& text)
{
    if (needsQuotes(text, {})) {
        std::string quoted;
        quoted.reserve(text.size() + 4);
        appendQuoted(text, quoted);
        text = std::move(quoted);
    }
}

void appendJsonString(std::string_view text, std::string& out)
{
    static constexpr std::string_view Hex = "0123456789abcdef";
    out += '"';
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\') {
            out += static_cast<char>(byte);
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        const char32_t ch = decodeUtf8(text, pos);
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (ch < 0x20 || ch == 0x2028 || ch == 0x2029) {
                out += "\\u";
                for (const int shift : {12, 8, 4, 0}) {
                    out += Hex[(ch >> shift) & 0xF];
                }
            } else if (ch == 0xFFFD && pos - start == 1) {
                appendUtf8(ch, out); // a byte that is not UTF-8
            } else {
                out.append(text, start, pos - start);
            }
        }
    }
    out += '"';
}

std::vector<std::string_view> fieldsOf(const LineText& line, std::size_t separatorLength)
{
    std::vector<std::string_view> fields;
    fields.reserve(line.separatorOffsets.size());
    std::size_t from = 0;
    for (const std::size_t offset : line.separatorOffsets) {
        fields.push_back(std::string_view(line.text).substr(from, offset - from));
        from = offset + separatorLength;
    }
    return fields;
}

std::vector<std::string> headerKeys(const LineText& line, std::size_t separatorLength)
{
    const std::vector<std::string_view> fields = fieldsOf(line, separatorLength);
    std::vector<std::string> keys;
    keys.reserve(fields.size());
    // Two headers that differ only in bytes that are not UTF-8 are one key once written.
    std::unordered_set<std::string> taken;
    for (const std::string_view field : fields) {
        std::string key = validUtf8(field);
        if (key.find_first_not_of(' ') != std::string::npos && taken.insert(key).second) {
            keys.push_back(std::move(key));
        } else {
            keys.emplace_back(); // named below, once every text has its claim
        }
    }
    std::unordered_set<std::string> lettersTaken;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i].empty()) {
            continue;
        }
        const std::string letters = ColumnLetters(static_cast<std::int32_t>(i + 1));
        std::string key = letters;
        for (int copy = 2; taken.contains(key) || lettersTaken.contains(key); ++copy) {
            key = letters + " (" + std::to_string(copy) + ")";
        }
        lettersTaken.insert(key);
        keys[i] = std::move(key);
    }
    return keys;
}

void appendJsonLine(const LineText& line,
                    std::size_t separatorLength,
                    const std::vector<std::string>* keys,
                    std::string& out)
{
    out += keys != nullptr ? '{' : '[';
    std::size_t from = 0;
    for (std::size_t i = 0; i < line.separatorOffsets.size(); ++i) {
        const std::size_t offset = line.separatorOffsets[i];
        if (i > 0) {
            out += ',';
        }
        if (keys != nullptr) {
            appendJsonString(i < keys->size() ? std::string_view((*keys)[i]) : "", out);
            out += ':';
        }
        appendJsonString(std::string_view(line.text).substr(from, offset - from), out);
        from = offset + separatorLength;
    }
    out += keys != nullptr ? "}\n" : "]\n";
}

TextEncoding TextEncoding::named(const std::string& name)
{
    TextEncoding encoding;
    encoding.m_name = name;
    const std::string simple = simplified(name);
    if (simple == "utf8") {
        encoding.m_form = Form::Utf8;
        return encoding;
    }
    if (simple == "utf8bom") {
        encoding.m_form = Form::Utf8Bom;
        return encoding;
    }
    if (simple == "utf16le") {
        encoding.m_form = Form::Utf16Le;
        return encoding;
    }
    const IconvHandle handle = openIconv(name);
    if (!handle || !convert(handle.get(), "?", {}, encoding.m_questionMark)) {
        throw Error("the character encoding " + quotedText(name) + " is not known");
    }
    encoding.m_form = Form::Iconv;
    return encoding;
}

std::string TextEncoding::encode(std::string_view utf8) const
{
    std::string out;
    switch (m_form) {
    case Form::Utf8:
        out.assign(utf8);
        break;
    case Form::Utf8Bom:
        out.reserve(utf8.size() + 3);
        out += "\xEF\xBB\xBF";
        out += utf8;
        break;
    case Form::Utf16Le: {
        out.reserve(utf8.size() * 2 + 2);
        out += "\xFF\xFE";
        const auto unit = [&out](char32_t u) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>((u >> 8) & 0xFF);
        };
        std::size_t pos = 0;
        while (pos < utf8.size()) {
            const char32_t ch = decodeUtf8(utf8, pos);
            if (ch >= 0x10000) {
                unit(0xD800 + ((ch - 0x10000) >> 10));
                unit(0xDC00 + ((ch - 0x10000) & 0x3FF));
            } else {
                unit(ch);
            }
        }
        break;
    }
    case Form::Iconv: {
        // A handle per call: lanes encode at once, and iconv's state is not to be shared.
        const IconvHandle handle = openIconv(m_name);
        if (!handle) {
            throw Error("the character encoding " + quotedText(m_name) + " is not known");
        }
        out.reserve(utf8.size());
        convert(handle.get(), utf8, m_questionMark, out);
        break;
    }
    }
    return out;
}

} // namespace sheetfray::engine
