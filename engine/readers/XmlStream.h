// Streaming XML parsing: a document read by chunks, reported element by element.
#pragma once

#include "support/Error.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace sheetfray::engine::readers {

// One attribute of a start tag: its name with and without the prefix, and its value with
// references resolved and line breaks and tabs made spaces.
struct XmlAttribute
{
    std::string_view qualifiedName;
    std::string_view localName;
    std::string_view value;
};

// The attributes of one start tag, valid during the startElement call. Namespace declarations
// ("xmlns", "xmlns:r") are not among them.
class XmlAttributes
{
public:
    explicit XmlAttributes(std::span<const XmlAttribute> items)
        : m_items(items)
    {}

    // The value of the attribute with this local name, whatever its prefix ("r:id" is "id").
    [[nodiscard]] std::optional<std::string_view> value(std::string_view localName) const
    {
        for (const XmlAttribute& item : m_items) {
            if (item.localName == localName) {
                return item.value;
            }
        }
        return std::nullopt;
    }

    // Calls f(localName, value) for each attribute in document order.
    template <typename F>
    void forEach(F&& f) const
    {
        for (const XmlAttribute& item : m_items) {
            f(item.localName, item.value);
        }
    }

    // "r:id" gives "id".
    [[nodiscard]] static std::string_view localName(std::string_view qualifiedName)
    {
        const auto colon = qualifiedName.find(':');
        return colon == std::string_view::npos ? qualifiedName : qualifiedName.substr(colon + 1);
    }

    // "xmlns" and "xmlns:r" declare prefixes; they are not attributes of the element.
    [[nodiscard]] static bool isNamespaceDeclaration(std::string_view qualifiedName)
    {
        return qualifiedName.starts_with("xmlns")
            && (qualifiedName.size() == 5 || qualifiedName[5] == ':');
    }

private:
    std::span<const XmlAttribute> m_items;
};

// name == expected, compared inline: handlers compare names for every element and
// attribute, and a call to memcmp for each took 4% of reading a large sheet.
[[nodiscard]] inline bool isName(std::string_view name, std::string_view expected)
{
    if (name.size() != expected.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != expected[i]) {
            return false;
        }
    }
    return true;
}

// Receives a document's events. Element names are local names: the prefix is dropped, so
// "x:row" and "row" are alike (SpreadsheetML elements come under any prefix a writer chose).
// A handler may throw; parsing stops and the exception reaches the caller of parseXml.
class XmlHandler
{
public:
    virtual ~XmlHandler() = default;

    virtual void startElement(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual void endElement(std::string_view name) = 0;
    // Text content, possibly in several pieces; entity and character references resolved.
    virtual void characters(std::string_view text) = 0;
};

// Fills up to size bytes of buffer and returns how many; 0 at the end of the input.
using ByteReader = std::function<std::size_t(char* buffer, std::size_t size)>;

// Parses one document, which must be well-formed XML. Documents with a document type
// declaration are refused, so no entity is ever declared or expanded, and so are elements
// nested more than 256 deep. UTF-8 documents (all workbook parts seen) go through this
// program's own scanner; documents in other encodings through expat.
// Throws ReadError naming partName, with the XML error and its line, or whatever the handler
// or read threw.
void parseXml(const ByteReader& read, XmlHandler& handler, std::string_view partName);

// What the two parsers behind parseXml share: this program's own for UTF-8 (XmlScanner.h) and
// expat for other encodings (XmlExpat.h).

// The bytes asked of read at a time: large enough that the per-chunk overhead vanishes, small
// enough to stay in cache.
inline constexpr std::size_t XmlChunkSize = 256 * 1024;

// Workbook parts nest a dozen levels deep (rich text in a table cell in OpenDocument is the
// deepest seen); every open element is kept, so a part of nothing but start tags would hold
// memory in proportion to its inflated size.
inline constexpr int MaxXmlDepth = 256;

[[nodiscard]] ReadError xmlDoctypeError(std::string_view partName);
[[nodiscard]] ReadError xmlTooDeepError(std::string_view partName);

} // namespace sheetfray::engine::readers
