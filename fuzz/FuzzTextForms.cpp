// Fuzzes the forms a line of cell texts is written in: quoted fields must read back as the
// texts they came from, a JSON line must parse to them (bytes that are not UTF-8 as U+FFFD),
// and every encoding must take any text.
#include "engine/CodePage.h"
#include "engine/LineText.h"
#include "engine/TextOutput.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using sheetfray::engine::LineText;

// Reads a quoted line back as a CSV reader would; false when it is not well formed.
bool readFields(std::string_view text, std::string_view separator, std::vector<std::string>& out)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::string field;
        if (text[pos] == '"') {
            ++pos;
            for (;;) {
                if (pos >= text.size()) {
                    return false;
                }
                if (text[pos] == '"') {
                    if (pos + 1 < text.size() && text[pos + 1] == '"') {
                        field += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                field += text[pos++];
            }
        } else {
            const std::size_t end = text.find(separator, pos);
            if (end == std::string_view::npos) {
                return false;
            }
            field.assign(text.substr(pos, end - pos));
            pos = end;
        }
        if (text.substr(pos, separator.size()) != separator) {
            return false;
        }
        pos += separator.size();
        out.push_back(std::move(field));
    }
    return true;
}

std::string asValidUtf8(std::string_view text)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        sheetfray::engine::appendUtf8(sheetfray::engine::decodeUtf8(text, pos), out);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray::engine;
    static constexpr std::array<std::string_view, 4> Separators{",", "\r\n", "; ", "\t"};
    static const std::array<TextEncoding, 4> Encodings{TextEncoding::named("utf-8-bom"),
                                                       TextEncoding::named("utf-16le"),
                                                       TextEncoding::named("cp1252"),
                                                       TextEncoding::named("SHIFT_JIS")};
    if (size == 0) {
        return 0;
    }
    // One byte picks the separator, the rest are the texts split at NUL.
    const std::string_view separator = Separators[data[0] % Separators.size()];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> fields;
    for (;;) {
        const std::size_t end = rest.find('\0');
        fields.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    LineText line;
    for (const std::string& field : fields) {
        line.text += field;
        line.separatorOffsets.push_back(line.text.size());
        line.text += separator;
    }

    std::string json;
    appendJsonLine(line, separator.size(), nullptr, json);
    const nlohmann::json parsed = nlohmann::json::parse(json); // throws, and so fails, if invalid
    if (parsed.size() != fields.size() || json.back() != '\n'
        || json.find('\n') != json.size() - 1) {
        std::abort();
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (parsed[i].get<std::string>() != asValidUtf8(fields[i])) {
            std::abort();
        }
    }
    const std::vector<std::string> keys = headerKeys(line, separator.size());
    json.clear();
    appendJsonLine(line, separator.size(), &keys, json);
    if (nlohmann::json::parse(json).size() != fields.size()) {
        std::abort(); // two keys alike
    }

    LineText quoted = line;
    quoteFields(quoted, separator);
    std::vector<std::string> back;
    if (!readFields(quoted.text, separator, back) || back != fields) {
        std::abort();
    }
    for (const std::size_t offset : quoted.separatorOffsets) {
        if (quoted.text.compare(offset, separator.size(), separator) != 0) {
            std::abort();
        }
    }

    for (const TextEncoding& encoding : Encodings) {
        static_cast<void>(encoding.encode(line.text));
    }
    return 0;
}
