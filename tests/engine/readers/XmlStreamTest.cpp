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
        parseXml(pieces(document, piece), recorder, "xl/part.xml");
        // Text may arrive in several pieces; joined it is the same. Namespace declarations
        // are not attributes.
        EXPECT_EQ(recorder.events, "<a id=1><b r=A1>t&u</b></a>") << piece;
    }
}

TEST(XmlStream, PassesTheHandlersExceptionThrough)
{
    const std::string document = "<a><boom/></a>";
    Recorder recorder;
    EXPECT_THROW(parseXml(pieces(document, 64), recorder, "xl/part.xml"), std::logic_error);
}

TEST(XmlStream, NamesPartAndLineOfAnXmlError)
{
    const std::string document = "<a>\n<b>\n</a>";
    Recorder recorder;
    try {
        parseXml(pieces(document, 64), recorder, "xl/part.xml");
        FAIL() << "no error";
    } catch (ReadError& e) {
        EXPECT_EQ(e.reason(), ReadError::Reason::XmlMalformed);
        EXPECT_EQ(e.place().part, "xl/part.xml");
        EXPECT_EQ(e.detail(), "mismatched tag at line 3");
        // The reader that opened the workbook names its file.
        e.nameFile("book.xlsx");
        EXPECT_STREQ(e.what(),
                     "cannot read \"book.xlsx\": the workbook is damaged (xl/part.xml: mismatched "
                     "tag at line 3)");
    }
}

TEST(XmlStream, RefusesAnEmptyDocument)
{
    Recorder recorder;
    EXPECT_THROW(parseXml(pieces("", 64), recorder, "xl/part.xml"), ReadError);
}

// The events of a whole document read in pieces of the given size; "error: ..." for an error.
std::string eventsOf(const std::string& document, std::size_t piece = 64)
{
    Recorder recorder;
    try {
        parseXml(pieces(document, piece), recorder, "xl/part.xml");
    } catch (const ReadError& e) {
        const std::string message = e.what();
        const std::string prefix = "the workbook is damaged (xl/part.xml";
        return "error: " + (message.starts_with(prefix) ? message.substr(prefix.size()) : message);
    }
    return recorder.events;
}

TEST(XmlStream, ReadsWhatWritersWrite)
{
    const std::string bom = "\xEF\xBB\xBF";

    const struct
    {
        std::string document;
        std::string events;
    } cases[] = {
        // Prefixes on elements and attributes, declared anywhere; the declarations drop out.
        {R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
         R"(<x:worksheet xmlns:x="urn:s"><x:c x:r="A1" s = '2'/></x:worksheet>)",
         "<worksheet><c r=A1 s=2></c></worksheet>"},
        {bom + "<a><b/>\n</a>", "<a><b></b>\n</a>"},
        // Quotes of the other kind inside a value, ">" in a value, references in both.
        {R"(<a t='say "hi"' u="it's" v="a>b" w="&lt;&#65;&#x263A;&quot;"/>)",
         "<a t=say \"hi\" u=it's v=a>b w=<A\xE2\x98\xBA\"></a>"},
        {"<a>&lt;&gt;&amp;&apos;&quot;&#x1F600;&#233;</a>",
         "<a><>&'\"\xF0\x9F\x98\x80\xC3\xA9</a>"},
        // Line breaks: CR LF and CR become LF in text; in values any break or tab is a space,
        // a referenced one is kept.
        {"<a v=\"1\r\n2\t3\n4&#10;\">x\r\ny\rz</a>", "<a v=1 2 3 4\n>x\ny\nz</a>"},
        {"<a><![CDATA[<b>&amp;]]]]><![CDATA[>\r\n]]></a>", "<a><b>&amp;]]>\n</a>"},
        {"<!-- before --><?pi data?><a><!-- a - b --><?xml-stylesheet x?>t</a><!-- after -->\n",
         "<a>t</a>"},
        {"<a>] ]] ]>\xC3\xA9\xE2\x82\xAC</a  >", "<a>] ]] ]>\xC3\xA9\xE2\x82\xAC</a>"},
        {"<\xC3\xA9t\xC3\xA9 \xC3\xA0='1'/>", "<\xC3\xA9t\xC3\xA9 \xC3\xA0=1></\xC3\xA9t\xC3\xA9>"},
    };

    for (const auto& c : cases) {
        for (const std::size_t piece :
             {std::size_t{1}, std::size_t{2}, std::size_t{5}, c.document.size()}) {
            EXPECT_EQ(eventsOf(c.document, piece), c.events)
                << c.document << " in pieces of " << piece;
        }
    }
}

TEST(XmlStream, RefusesWhatIsNotWellFormedAsExpatWouldSay)
{
    const struct
    {
        std::string document;
        std::string error;
    } cases[] = {
        {"", ": no element found at line 1)"},
        {"<a>\n<b/>\n", ": no element found at line 3)"},
        {"<a", ": unclosed token at line 1)"},
        {"<a><!-- x", ": unclosed token at line 1)"},
        {"<a><![CDATA[ x", ": unclosed CDATA section at line 1)"},
        {"<a>&amp", ": unclosed token at line 1)"},
        {"x<a/>", ": not well-formed (invalid token) at line 1)"},
        {"<a/>x", ": junk after document element at line 1)"},
        {"<a/><b/>", ": junk after document element at line 1)"},
        {"<a/></a>", ": not well-formed (invalid token) at line 1)"},
        {"<a>\r\n\r\n<b>\r</a>", ": mismatched tag at line 4)"},
        {"<a>&foo;</a>", ": undefined entity at line 1)"},
        {"<a b=\"&x;\"/>", ": undefined entity at line 1)"},
        {"<a>& b</a>", ": not well-formed (invalid token) at line 1)"},
        {"<a>&amp</a>", ": not well-formed (invalid token) at line 1)"},
        {"<a>&#0;</a>", ": reference to invalid character number at line 1)"},
        {"<a>&#x110000;</a>", ": reference to invalid character number at line 1)"},
        {"<a>]]></a>", ": not well-formed (invalid token) at line 1)"},
        {"<a>\x01</a>", ": not well-formed (invalid token) at line 1)"},
        {std::string("<a>\0</a>", 8), ": not well-formed (invalid token) at line 1)"},
        {"<a>\xFF</a>", ": not well-formed (invalid token) at line 1)"},
        {"<a>\xC0\xAF</a>", ": not well-formed (invalid token) at line 1)"}, // overlong
        {"<a>\xED\xA0\x80</a>", ": not well-formed (invalid token) at line 1)"}, // surrogate
        {"<a>\xEF\xBF\xBE</a>", ": not well-formed (invalid token) at line 1)"}, // U+FFFE
        {"<a>\xC3", ": partial character at line 1)"},
        {"<a b=\"1\" b=\"2\"/>", ": duplicate attribute at line 1)"},
        {"<a b=\"1\"c=\"2\"/>", ": not well-formed (invalid token) at line 1)"},
        {"<a b=\"<\"/>", ": not well-formed (invalid token) at line 1)"},
        {"<a b=1/>", ": not well-formed (invalid token) at line 1)"},
        {"<a b=\"\x01\"/>", ": not well-formed (invalid token) at line 1)"},
        {"<a/ >", ": not well-formed (invalid token) at line 1)"},
        {"<1a/>", ": not well-formed (invalid token) at line 1)"},
        {"<a>< b/></a>", ": not well-formed (invalid token) at line 1)"},
        {"<a></a b>", ": not well-formed (invalid token) at line 1)"},
        {"<a><!foo></a>", ": not well-formed (invalid token) at line 1)"},
        {"<a><!-- a -- b --></a>", ": not well-formed (invalid token) at line 1)"},
        {"<![CDATA[x]]><a/>", ": syntax error at line 1)"},
        {" <?xml version=\"1.0\"?><a/>",
         ": XML or text declaration not at start of entity at line 1)"},
        {"<?xml foo=\"1\"?><a/>", ": XML declaration not well-formed at line 1)"},
        {"<?xml version=\"1.0\" standalone=\"maybe\"?><a/>",
         ": XML declaration not well-formed at line 1)"},
        // Refused before anything it declares is read, wherever it stands.
        {"<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>",
         " has a document type declaration, which no workbook has)"},
        {"<a><!DOCTYPE a></a>", " has a document type declaration, which no workbook has)"},
    };

    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
            EXPECT_EQ(eventsOf(c.document, piece).substr(0, 6), "error:") << c.document;
            const std::string events = eventsOf(c.document, piece);
            EXPECT_TRUE(events.ends_with(c.error))
                << c.document << " in pieces of " << piece << " gave " << events;
        }
    }
}

TEST(XmlStream, LimitsNestingTo256Levels)
{
    const auto nested = [](int depth) {
        std::string document;
        for (int i = 0; i < depth; ++i) {
            document += "<b>";
        }
        document += "<e/>";
        for (int i = 0; i < depth; ++i) {
            document += "</b>";
        }
        return document;
    };
    EXPECT_FALSE(eventsOf(nested(255)).starts_with("error"));
    EXPECT_EQ(eventsOf(nested(256)), "error:  nests elements more than 256 levels deep)");
}

TEST(XmlStream, ReadsConstructsLargerThanItsBuffer)
{
    // A text and a value of a megabyte, and a tag of many attributes, one of them repeated
    // at its end (found by sorting, not by comparing every pair).
    const std::string big(1 << 20, 'x');
    EXPECT_EQ(eventsOf("<a v=\"" + big + "&amp;\">" + big + "&amp;" + big + "</a>", 100'000),
              "<a v=" + big + "&>" + big + "&" + big + "</a>");
    std::string tag = "<a";
    for (int i = 0; i < 5000; ++i) {
        tag += " n" + std::to_string(i) + "=\"\"";
    }
    EXPECT_FALSE(eventsOf(tag + "/>", 4096).starts_with("error"));
    EXPECT_EQ(eventsOf(tag + " n17=\"\"/>", 4096), "error: : duplicate attribute at line 1)");
}

TEST(XmlStream, LeavesOtherEncodingsToExpat)
{
    // "<a>é</a>" in UTF-16 (little-endian, with its mark) and in Latin-1 as declared.
    const std::string utf16("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18);
    EXPECT_EQ(eventsOf(utf16), "<a>\xC3\xA9</a>");
    EXPECT_EQ(eventsOf("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>"),
              "<a>\xC3\xA9</a>");
    EXPECT_EQ(eventsOf("<?xml version=\"1.0\" encoding='utf-8'?><a>\xC3\xA9</a>"),
              "<a>\xC3\xA9</a>");
    EXPECT_EQ(eventsOf("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!DOCTYPE a><a/>"),
              "error:  has a document type declaration, which no workbook has)");
}

// A source of blocks of a long document, as a zip entry gives them; it may throw after
// a number of bytes.
class BlockSource
{
public:
    BlockSource(std::string document, std::size_t failAfter)
        : m_document(std::move(document))
        , m_failAfter(failAfter)
    {}

    ByteReader reader()
    {
        return [this](char* buffer, std::size_t size) {
            if (m_offset == m_document.size()) {
                return std::size_t{0};
            }
            if (m_offset >= m_failAfter) {
                throw ReadError(ReadError::Reason::FileNotRead);
            }
            const std::size_t n =
                std::min({size, m_document.size() - m_offset, m_failAfter - m_offset});
            std::memcpy(buffer, m_document.data() + m_offset, n);
            m_offset += n;
            return n;
        };
    }

private:
    std::string m_document;
    std::size_t m_failAfter;
    std::size_t m_offset = 0;
};

TEST(XmlStream, ReadsLargePartsAheadOnASecondThread)
{
    std::string document = "<sheet>";
    std::string expected = "<sheet>";
    for (int i = 0; i < 100'000; ++i) {
        const std::string cell = "<c r=\"A" + std::to_string(i) + "\">" + std::to_string(i * 7);
        document += cell + "</c>";
        expected += "<c r=A" + std::to_string(i) + ">" + std::to_string(i * 7) + "</c>";
    }
    document += "</sheet>";
    expected += "</sheet>";
    ASSERT_GT(document.size(), 2u << 20); // eight blocks

    BlockSource whole(document, document.size());
    Recorder recorder;
    parseXml(whole.reader(), recorder, "xl/part.xml");
    EXPECT_EQ(recorder.events, expected);

    // The source's failure comes through after the bytes before it, and the handler's own
    // exception stops the thread reading ahead.
    BlockSource failing(document, 1'500'000);
    Recorder partial;
    EXPECT_THROW(parseXml(failing.reader(), partial, "xl/part.xml"), ReadError);
    EXPECT_GT(partial.events.size(), 1'000'000u);
    EXPECT_EQ(partial.events, expected.substr(0, partial.events.size()));

    const std::size_t cut = document.find("<c ", 1'000'000);
    BlockSource booming(document.substr(0, cut) + "<boom/>" + document.substr(cut),
                        std::string::npos);
    Recorder stopped;
    EXPECT_THROW(parseXml(booming.reader(), stopped, "xl/part.xml"), std::logic_error);
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
