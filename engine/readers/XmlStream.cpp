#include "engine/readers/XmlStream.h"

#include "engine/readers/ReadFailure.h"

#include <expat.h>

#include <exception>
#include <memory>
#include <string>

namespace sheetfray::engine::readers {

namespace {

// `cannot read "book.xlsx": the workbook is damaged (detail)`
ReadError damagedError(std::string_view fileName, std::string_view detail)
{
    return fileFailure(fileName, "the workbook is damaged (" + std::string(detail) + ")");
}

// Large enough that the per-chunk overhead vanishes, small enough to stay in cache.
constexpr int ChunkSize = 256 * 1024;

// Workbook parts nest a dozen levels deep (rich text in a table cell in OpenDocument is the
// deepest seen); expat keeps every open element, so a part of nothing but start tags would
// hold memory in proportion to its inflated size.
constexpr int MaxDepth = 256;

struct ParserFree
{
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// The state the expat callbacks reach through their user data.
struct Session
{
    XML_Parser parser = nullptr;
    XmlHandler* handler = nullptr;
    std::exception_ptr failure;
    bool doctype = false;
    int depth = 0;
    bool tooDeep = false;

    // Keeps exceptions inside the callback: expat is C and cannot unwind.
    template <typename F>
    void guarded(F&& f) noexcept
    {
        if (failure || doctype || tooDeep) {
            return;
        }
        try {
            f();
        } catch (...) {
            failure = std::current_exception();
            XML_StopParser(parser, XML_FALSE);
        }
    }
};

void onStart(void* data, const XML_Char* name, const XML_Char** attributes)
{
    auto* session = static_cast<Session*>(data);
    if (++session->depth > MaxDepth) {
        if (!session->tooDeep && !session->failure && !session->doctype) {
            session->tooDeep = true;
            XML_StopParser(session->parser, XML_FALSE);
        }
        return;
    }
    session->guarded([&] {
        session->handler->startElement(XmlAttributes::localName(name), XmlAttributes(attributes));
    });
}

void onEnd(void* data, const XML_Char* name)
{
    auto* session = static_cast<Session*>(data);
    if (session->depth-- > MaxDepth) {
        return;
    }
    session->guarded([&] { session->handler->endElement(XmlAttributes::localName(name)); });
}

void onText(void* data, const XML_Char* text, int length)
{
    auto* session = static_cast<Session*>(data);
    session->guarded([&] {
        session->handler->characters(std::string_view(text, static_cast<std::size_t>(length)));
    });
}

// Workbook parts never declare a document type; one that does may be an entity-expansion
// attack, so it is refused before any declaration is read.
void onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
{
    auto* session = static_cast<Session*>(data);
    if (!session->doctype && !session->failure) {
        session->doctype = true;
        XML_StopParser(session->parser, XML_FALSE);
    }
}

} // namespace

std::string_view XmlAttributes::localName(const char* name)
{
    // One pass over the name, where strchr and then strlen made two library calls per
    // element and attribute: 1.5% of splitting a 100,000-row sheet by column, now 0.1%.
    const char* end = name;
    while (*end != '\0' && *end != ':') {
        ++end;
    }
    if (*end == '\0') {
        return {name, static_cast<std::size_t>(end - name)};
    }
    const char* local = ++end;
    while (*end != '\0') {
        ++end;
    }
    return {local, static_cast<std::size_t>(end - local)};
}

std::optional<std::string_view> XmlAttributes::value(std::string_view name) const
{
    for (const char** pair = m_pairs; pair[0]; pair += 2) {
        if (!isNamespaceDeclaration(pair[0]) && localName(pair[0]) == name) {
            return std::string_view(pair[1]);
        }
    }
    return std::nullopt;
}

void parseXml(const ByteReader& read,
              XmlHandler& handler,
              std::string_view fileName,
              std::string_view partName)
{
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        throw fileFailure(fileName, "there is not enough memory");
    }
    Session session;
    session.parser = parser.get();
    session.handler = &handler;
    XML_SetUserData(parser.get(), &session);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onText);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);

    for (;;) {
        void* buffer = XML_GetBuffer(parser.get(), ChunkSize);
        if (!buffer) {
            throw fileFailure(fileName, "there is not enough memory");
        }
        const std::size_t n = read(static_cast<char*>(buffer), ChunkSize);
        const bool last = n == 0;
        const XML_Status status = XML_ParseBuffer(parser.get(), static_cast<int>(n), last);
        if (session.failure) {
            std::rethrow_exception(session.failure);
        }
        if (session.doctype) {
            throw damagedError(fileName,
                               std::string(partName)
                                   + " has a document type declaration, which no workbook has");
        }
        if (session.tooDeep) {
            throw damagedError(fileName,
                               std::string(partName) + " nests elements more than "
                                   + std::to_string(MaxDepth) + " levels deep");
        }
        if (status != XML_STATUS_OK) {
            const XML_Error code = XML_GetErrorCode(parser.get());
            throw damagedError(fileName,
                               std::string(partName) + ": " + XML_ErrorString(code) + " at line "
                                   + std::to_string(XML_GetCurrentLineNumber(parser.get())));
        }
        if (last) {
            return;
        }
    }
}

} // namespace sheetfray::engine::readers
