#include "engine/readers/XmlStream.h"

#include "support/Error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace sheetfray::engine::readers {
namespace {

// Records events as text: "<name a=v>", "text", "</name>".
class Recorder final : public XmlHandler
{
public:
    void startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        if (name == "boom") {
            throw std::logic_error("boom");
        }
        events += "<" + std::string(name);
        attributes.forEach([&](std::string_view key, std::string_view value) {
            events += " " + std::string(key) + "=" + std::string(value);
        });
        events += ">";
    }

    void endElement(std::string_view name) override { events += "</" + std::string(name) + ">"; }

    void characters(std::string_view text) override { events += text; }

    std::string events;
};

// Hands out the document in pieces of at most `piece` bytes.
ByteReader pieces(const std::string& document, std::size_t piece)
{
    auto offset = std::make_shared<std::size_t>(0);
    return [&document, piece, offset](char* buffer, std::size_t size) {
        const std::size_t n = std::min({piece, size, document.size() - *offset});
        std::memcpy(buffer, document.data() + *offset, n);
        *offset += n;
        return n;
    };
}

TEST(XmlStream, ReportsTheSameEventsWhateverTheChunkSize)
{
    const std::string document = R"(<x:a xmlns:x="urn:x" x:id="1"><x:b r="A1">t&amp;u</x:b></x:a>)";
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, document.size()}) {
        Recorder recorder;
        parseXml(pieces(document, piece), recorder, "book.xlsx", "xl/part.xml");
        // Text may arrive in several pieces; joined it is the same. Namespace declarations
        // are not attributes.
        EXPECT_EQ(recorder.events, "<a id=1><b r=A1>t&u</b></a>") << piece;
    }
}

TEST(XmlStream, PassesTheHandlersExceptionThrough)
{
    const std::string document = "<a><boom/></a>";
    Recorder recorder;
    EXPECT_THROW(parseXml(pieces(document, 64), recorder, "book.xlsx", "xl/part.xml"),
                 std::logic_error);
}

TEST(XmlStream, NamesFileAndPartAndLineOfAnXmlError)
{
    const std::string document = "<a>\n<b>\n</a>";
    Recorder recorder;
    try {
        parseXml(pieces(document, 64), recorder, "book.xlsx", "xl/part.xml");
        FAIL() << "no error";
    } catch (const ReadError& e) {
        EXPECT_STREQ(e.what(),
                     "cannot read \"book.xlsx\": the workbook is damaged (xl/part.xml: mismatched "
                     "tag at line 3)");
    }
}

TEST(XmlStream, RefusesAnEmptyDocument)
{
    Recorder recorder;
    EXPECT_THROW(parseXml(pieces("", 64), recorder, "book.xlsx", "xl/part.xml"), ReadError);
}

TEST(XmlAttributes, LocalNameDropsOnlyTheFirstPrefix)
{
    EXPECT_EQ(XmlAttributes::localName("r:id"), "id");
    EXPECT_EQ(XmlAttributes::localName("id"), "id");
    EXPECT_EQ(XmlAttributes::localName("a:b:c"), "b:c");
    EXPECT_EQ(XmlAttributes::localName(":x"), "x");
    EXPECT_EQ(XmlAttributes::localName("x:"), "");
    EXPECT_EQ(XmlAttributes::localName(""), "");
}

} // namespace
} // namespace sheetfray::engine::readers
