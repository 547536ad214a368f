#include "engine/readers/XmlExpat.h"

#include "support/Error.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

namespace {

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
    std::vector<XmlAttribute> attributes;

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
    if (++session->depth > MaxXmlDepth) {
        if (!session->tooDeep && !session->failure && !session->doctype) {
            session->tooDeep = true;
            XML_StopParser(session->parser, XML_FALSE);
        }
        return;
    }
    session->guarded([&] {
        session->attributes.clear();
        for (const char** pair = attributes; pair[0]; pair += 2) {
            const std::string_view qualifiedName(pair[0]);
            if (!XmlAttributes::isNamespaceDeclaration(qualifiedName)) {
                session->attributes.push_back(
                    {qualifiedName, XmlAttributes::localName(qualifiedName), pair[1]});
            }
        }
        session->handler->startElement(XmlAttributes::localName(name),
                                       XmlAttributes(session->attributes));
    });
}

void onEnd(void* data, const XML_Char* name)
{
    auto* session = static_cast<Session*>(data);
    if (session->depth-- > MaxXmlDepth) {
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

void onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
{
    auto* session = static_cast<Session*>(data);
    if (!session->doctype && !session->failure) {
        session->doctype = true;
        XML_StopParser(session->parser, XML_FALSE);
    }
}

} // namespace

void parseXmlWithExpat(std::string_view head,
                       const ByteReader& read,
                       XmlHandler& handler,
                       std::string_view partName)
{
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        throw ReadError(ReadError::Reason::OutOfMemory);
    }
    Session session;
    session.parser = parser.get();
    session.handler = &handler;
    XML_SetUserData(parser.get(), &session);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onText);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);

    for (;;) {
        void* buffer = XML_GetBuffer(parser.get(), static_cast<int>(XmlChunkSize));
        if (!buffer) {
            throw ReadError(ReadError::Reason::OutOfMemory);
        }
        std::size_t n = 0;
        if (!head.empty()) {
            n = std::min(head.size(), XmlChunkSize);
            std::memcpy(buffer, head.data(), n);
            head.remove_prefix(n);
        } else {
            n = read(static_cast<char*>(buffer), XmlChunkSize);
        }
        const bool last = n == 0;
        const XML_Status status = XML_ParseBuffer(parser.get(), static_cast<int>(n), last);
        if (session.failure) {
            std::rethrow_exception(session.failure);
        }
        if (session.doctype) {
            throw xmlDoctypeError(partName);
        }
        if (session.tooDeep) {
            throw xmlTooDeepError(partName);
        }
        if (status != XML_STATUS_OK) {
            const XML_Error code = XML_GetErrorCode(parser.get());
            throw ReadError(ReadError::Reason::XmlMalformed,
                            std::string(XML_ErrorString(code)) + " at line "
                                + std::to_string(XML_GetCurrentLineNumber(parser.get())),
                            {.part = std::string(partName)});
        }
        if (last) {
            return;
        }
    }
}

} // namespace sheetfray::engine::readers
