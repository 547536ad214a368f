// Streaming XML parsing (expat): a document read by chunks, reported element by element.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace sheetfray::engine::readers {

// The attributes of one start tag, valid during the startElement call.
class XmlAttributes
{
public:
    explicit XmlAttributes(const char** pairs)
        : m_pairs(pairs)
    {}

    // The value of the attribute with this local name, whatever its prefix ("r:id" is "id").
    [[nodiscard]] std::optional<std::string_view> value(std::string_view localName) const;

    // Calls f(localName, value) for each attribute in document order.
    template <typename F>
    void forEach(F&& f) const
    {
        for (const char** pair = m_pairs; pair[0]; pair += 2) {
            if (!isNamespaceDeclaration(pair[0])) {
                f(localName(pair[0]), std::string_view(pair[1]));
            }
        }
    }

    // "r:id" gives "id".
    [[nodiscard]] static std::string_view localName(const char* qualifiedName);

private:
    // "xmlns" and "xmlns:r" declare prefixes; they are not attributes of the element.
    static bool isNamespaceDeclaration(const char* name)
    {
        return name[0] == 'x' && std::string_view(name).starts_with("xmlns")
            && (name[5] == '\0' || name[5] == ':');
    }

    const char** m_pairs;
};

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

// Parses one document. Documents with a document type declaration are refused, so no
// entity is ever declared or expanded, and so are elements nested more than 256 deep.
// Throws ReadError naming fileName and partName, with
// the XML error and its line, or whatever the handler threw.
void parseXml(const ByteReader& read,
              XmlHandler& handler,
              std::string_view fileName,
              std::string_view partName);

} // namespace sheetfray::engine::readers
