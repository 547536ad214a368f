#include "engine/readers/XmlScanner.h"

#include "engine/CodePage.h"
#include "support/Error.h"
#include "support/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

namespace {

// The messages of XML errors, worded as expat words them, so that a damaged part reads the
// same whichever parser met it.
constexpr const char* InvalidToken = "not well-formed (invalid token)";
constexpr const char* UnclosedToken = "unclosed token";
constexpr const char* PartialCharacter = "partial character";

enum ByteClass : std::uint8_t {
    NameStartByte = 1,
    NameByte = 2,
    SpaceByte = 4,
    TextStop = 8, // ends a plain run of character data
    ValueStop = 16, // ends a plain run of an attribute value
    PlainNameByte = 32, // an ASCII name byte other than ":"
};

constexpr std::array<std::uint8_t, 256> makeByteClasses()
{
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        std::uint8_t k = 0;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        // Bytes of multi-byte characters count as name bytes; the sequence is checked.
        if (letter || c == '_' || c == ':' || c >= 0x80) {
            k |= NameStartByte | NameByte;
        }
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
            k |= NameByte;
        }
        if ((k & NameByte) != 0 && c != ':' && c < 0x80) {
            k |= PlainNameByte;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            k |= SpaceByte;
        }
        if ((c < 0x20 && c != '\t' && c != '\n') || c == '<' || c == '&' || c == ']' || c >= 0x80) {
            k |= TextStop;
        }
        if (c < 0x20 || c == '<' || c == '&' || c == '"' || c == '\'' || c >= 0x80) {
            k |= ValueStop;
        }
        classes[static_cast<std::size_t>(c)] = k;
    }
    return classes;
}

constexpr std::array<std::uint8_t, 256> ByteClasses = makeByteClasses();

inline bool isClass(char c, ByteClass k)
{
    return (ByteClasses[static_cast<unsigned char>(c)] & k) != 0;
}

// The first c in [p, end), or null.
const char* findByte(const char* p, const char* end, char c)
{
    if (p >= end) {
        return nullptr;
    }
    return static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
}

// Names are short: a loop beats a call to memcmp.
bool sameBytes(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

bool isXmlCharacter(char32_t code)
{
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF)
        || (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// The length of the UTF-8 sequence at p if it is one XML character; 0 when it is not one,
// -1 when end cuts it short.
int utf8Character(const char* p, const char* end)
{
    const auto lead = static_cast<unsigned char>(*p);
    if (lead < 0x80) {
        return 1;
    }
    int length = 0;
    char32_t code = 0;
    if (lead < 0xC2) {
        return 0;
    }
    if (lead < 0xE0) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead < 0xF0) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead < 0xF5) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (p + i >= end) {
            return -1;
        }
        const auto next = static_cast<unsigned char>(p[i]);
        if ((next & 0xC0u) != 0x80u) {
            return 0;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || !isXmlCharacter(code)) {
        return 0;
    }
    return length;
}

// The value of a pseudo-attribute of an XML declaration ("encoding" in
// `<?xml version="1.0" encoding="UTF-8"?>`), or nothing.
std::optional<std::string_view> declarationValue(std::string_view declaration,
                                                 std::string_view name)
{
    std::size_t at = 0;
    while ((at = declaration.find(name, at)) != std::string_view::npos) {
        std::size_t i = at + name.size();
        at = i;
        while (i < declaration.size() && isClass(declaration[i], SpaceByte)) {
            ++i;
        }
        if (i == declaration.size() || declaration[i] != '=') {
            continue;
        }
        ++i;
        while (i < declaration.size() && isClass(declaration[i], SpaceByte)) {
            ++i;
        }
        if (i == declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) {
            return std::nullopt;
        }
        const auto close = declaration.find(declaration[i], i + 1);
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        return declaration.substr(i + 1, close - i - 1);
    }
    return std::nullopt;
}

// The buffer's bytes after its capacity: the terminating 0 and room for reading a block of 16
// bytes from any byte up to it.
constexpr std::size_t Padding = 17;

// The scans over names, values and text, 16 bytes at a time where SSE2 is there. Each stops at
// the first byte of its class's stop set, and so at the 0 after the bytes read at the latest;
// bytes read past that 0 are in the buffer, and never decide the result.
#if defined(__SSE2__)

inline __m128i inRange(__m128i bytes, char low, char high)
{
    // Signed comparisons: bytes from 0x80 are negative and never in an ASCII range.
    return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(low - 1))),
                         _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(high + 1))));
}

inline __m128i equals(__m128i bytes, char c)
{
    return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c));
}

// The first byte at p whose bit is clear in the mask of each block (a set bit: keep going).
template <typename Keep>
inline const char* skipBlocks(const char* p, Keep keep)
{
    for (;;) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto stops = static_cast<unsigned>(~_mm_movemask_epi8(keep(bytes))) & 0xFFFFu;
        if (stops != 0) {
            return p + std::countr_zero(stops);
        }
        p += 16;
    }
}

// ASCII name bytes other than ":".
inline const char* skipPlainName(const char* p)
{
    return skipBlocks(p, [](__m128i bytes) {
        const __m128i lower = _mm_or_si128(bytes, _mm_set1_epi8(0x20));
        return _mm_or_si128(
            _mm_or_si128(inRange(lower, 'a', 'z'), inRange(bytes, '0', '9')),
            _mm_or_si128(equals(bytes, '_'), _mm_or_si128(equals(bytes, '-'), equals(bytes, '.'))));
    });
}

// Bytes of character data that need no decoding and no check.
inline const char* skipPlainText(const char* p)
{
    return skipBlocks(p, [](__m128i bytes) {
        // From 0x20 to 0x7F (signed: not below 0x20), or a tab or line feed; not < & ].
        const __m128i printable = _mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F));
        const __m128i allowed =
            _mm_or_si128(printable, _mm_or_si128(equals(bytes, '\t'), equals(bytes, '\n')));
        const __m128i special =
            _mm_or_si128(equals(bytes, '<'), _mm_or_si128(equals(bytes, '&'), equals(bytes, ']')));
        return _mm_andnot_si128(special, allowed);
    });
}

// Bytes of an attribute value that need no decoding and no check.
inline const char* skipPlainValue(const char* p)
{
    return skipBlocks(p, [](__m128i bytes) {
        const __m128i printable = _mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F));
        const __m128i special = _mm_or_si128(_mm_or_si128(equals(bytes, '<'), equals(bytes, '&')),
                                             _mm_or_si128(equals(bytes, '"'), equals(bytes, '\'')));
        return _mm_andnot_si128(special, printable);
    });
}

#else

inline const char* skipPlainName(const char* p)
{
    while (isClass(*p, PlainNameByte)) {
        ++p;
    }
    return p;
}

inline const char* skipPlainText(const char* p)
{
    while (!isClass(*p, TextStop)) {
        ++p;
    }
    return p;
}

inline const char* skipPlainValue(const char* p)
{
    while (!isClass(*p, ValueStop)) {
        ++p;
    }
    return p;
}

#endif

// Reads a UTF-8 document straight from the inflated bytes, without copying what needs no
// decoding: element names, plain attribute values and plain text reach the handler as views
// into the buffer. Checks what makes XML well-formed: names, quoting, matching end tags, one
// root, references to the five predefined entities and to XML characters only, valid UTF-8.
class Scanner
{
public:
    Scanner(const ByteReader& read, XmlHandler& handler, std::string_view partName)
        : m_read(read)
        , m_handler(handler)
        , m_partName(partName)
        , m_buffer(new char[XmlChunkSize + Padding]())
        , m_capacity(XmlChunkSize)
    {}

    // Reads the start of the document; false when it is not in UTF-8, which leaves it to
    // expat (with the bytes read so far in buffered()).
    bool start()
    {
        while (m_end < 1024 && !m_eof) {
            refill();
        }
        const std::string_view head(m_buffer.get(), m_end);
        if (head.starts_with("\xEF\xBB\xBF")) {
            m_pos = 3;
            return true;
        }
        if (head.size() >= 2
            && (head[0] == '\0' || head[1] == '\0' || head.starts_with("\xFE\xFF")
                || head.starts_with("\xFF\xFE"))) {
            return false;
        }
        if (head.starts_with("<?xml")) {
            const auto close = head.find("?>");
            const auto encoding = declarationValue(
                head.substr(0, close == std::string_view::npos ? head.size() : close), "encoding");
            return !encoding || equalsIgnoringAsciiCase(*encoding, "UTF-8");
        }
        return true;
    }

    [[nodiscard]] std::string_view buffered() const { return {m_buffer.get(), m_end}; }

    void run()
    {
        for (;;) {
            if (m_pos == m_end) {
                if (m_eof) {
                    break;
                }
                refill();
                continue;
            }
            const char* p = m_buffer.get() + m_pos;
            if (*p == '<' ? markup(p) : text(p)) {
                m_started = true;
            } else {
                if (m_eof) {
                    fail(m_buffer.get() + m_pos, m_incomplete);
                }
                refill();
            }
        }
        if (m_place != Place::Epilog) {
            fail(m_buffer.get() + m_end, "no element found");
        }
    }

private:
    enum class Place : std::uint8_t { Prolog, Root, Epilog };

    struct PendingAttribute
    {
        std::string_view qualifiedName;
        std::string_view localName;
        const char* raw; // the value as written, or null when decoded into m_values
        std::uint32_t offset; // in m_values
        std::uint32_t length;
    };

    const char* limit() const { return m_buffer.get() + m_end; }

    void consumeTo(const char* p) { m_pos = static_cast<std::size_t>(p - m_buffer.get()); }

    // The construct at m_pos goes on past the bytes read: read more and start it again.
    bool incomplete(const char* message)
    {
        m_incomplete = message;
        return false;
    }

    // Keeps the unread bytes, moved to the front, and reads more after them.
    void refill()
    {
        if (m_pos > 0) {
            m_lines += lineBreaks(m_buffer.get(), m_buffer.get() + m_pos);
            std::memmove(m_buffer.get(), m_buffer.get() + m_pos, m_end - m_pos);
            m_end -= m_pos;
            m_pos = 0;
        }
        if (m_end == m_capacity) {
            // One construct larger than the buffer (a long text or tag): the buffer grows.
            std::unique_ptr<char[]> larger(new char[m_capacity * 2 + Padding]());
            std::memcpy(larger.get(), m_buffer.get(), m_end);
            m_buffer = std::move(larger);
            m_capacity *= 2;
        }
        const std::size_t n = m_read(m_buffer.get() + m_end, m_capacity - m_end);
        m_eof = n == 0;
        m_end += n;
        m_buffer[m_end] = '\0';
    }

    // Line breaks as expat counts them: "\n", "\r\n" and a lone "\r".
    static std::uint64_t lineBreaks(const char* p, const char* end)
    {
        std::uint64_t count = 0;
        for (const char* q = p; (q = findByte(q, end, '\n')); ++q) {
            ++count;
        }
        for (const char* q = p; (q = findByte(q, end, '\r')); ++q) {
            count += q + 1 == end || q[1] != '\n' ? 1 : 0;
        }
        return count;
    }

    [[noreturn]] void fail(const char* at, std::string_view message) const
    {
        const std::uint64_t line = m_lines + lineBreaks(m_buffer.get(), at) + 1;
        throw ReadError(ReadError::Reason::XmlMalformed,
                        std::string(message) + " at line " + std::to_string(line),
                        {.part = std::string(m_partName)});
    }

    // The local part (after the first colon) of the name that name() just read to nameEnd.
    [[nodiscard]] std::string_view localName(const char* nameEnd) const
    {
        return {m_local, static_cast<std::size_t>(nameEnd - m_local)};
    }

    // The end of the name at p; null when the bytes read end inside it. m_local is where
    // its local name starts (after the first colon).
    const char* name(const char* p)
    {
        const char* end = limit();
        if (p == end) {
            return nullptr;
        }
        if (!isClass(*p, NameStartByte)) {
            fail(p, InvalidToken);
        }
        m_local = p;
        bool prefixed = false;
        for (;;) {
            p = skipPlainName(p);
            if (*p == ':') {
                if (!prefixed) {
                    prefixed = true;
                    m_local = p + 1;
                }
                ++p;
                continue;
            }
            if (static_cast<unsigned char>(*p) < 0x80 || p == end) {
                break;
            }
            const int length = utf8Character(p, end);
            if (length < 0) {
                return nullptr;
            }
            if (length == 0) {
                fail(p, InvalidToken);
            }
            p += length;
        }
        return p == end ? nullptr : p;
    }

    // Appends what the reference at p ("&amp;", "&#10;") stands for; returns the byte after
    // it, or null when the bytes read end inside it.
    const char* reference(const char* p, std::string& out)
    {
        const char* end = limit();
        const char* q = p + 1;
        if (q == end) {
            return nullptr;
        }
        if (*q == '#') {
            ++q;
            if (q == end) {
                return nullptr;
            }
            const bool hex = *q == 'x';
            q += hex ? 1 : 0;
            const char* digits = q;
            char32_t code = 0;
            for (; q < end; ++q) {
                int digit = 0;
                const char c = *q;
                if (c >= '0' && c <= '9') {
                    digit = c - '0';
                } else if (hex && c >= 'a' && c <= 'f') {
                    digit = c - 'a' + 10;
                } else if (hex && c >= 'A' && c <= 'F') {
                    digit = c - 'A' + 10;
                } else {
                    break;
                }
                code = std::min<char32_t>(code * (hex ? 16 : 10) + static_cast<char32_t>(digit),
                                          0x110000);
            }
            if (q == end) {
                return nullptr;
            }
            if (*q != ';' || q == digits) {
                fail(q, InvalidToken);
            }
            if (!isXmlCharacter(code)) {
                fail(p, "reference to invalid character number");
            }
            appendUtf8(code, out);
            return q + 1;
        }
        const char* nameEnd = name(q);
        if (!nameEnd) {
            return nullptr;
        }
        if (*nameEnd != ';') {
            fail(nameEnd, InvalidToken);
        }
        const std::string_view entity(q, static_cast<std::size_t>(nameEnd - q));
        if (entity == "lt") {
            out += '<';
        } else if (entity == "gt") {
            out += '>';
        } else if (entity == "amp") {
            out += '&';
        } else if (entity == "apos") {
            out += '\'';
        } else if (entity == "quot") {
            out += '"';
        } else {
            fail(p, "undefined entity");
        }
        return nameEnd + 1;
    }

    // Fails unless [p, end) holds only XML characters (comments, processing instructions).
    void checkCharacters(const char* p, const char* end) const
    {
        while (p < end) {
            const auto c = static_cast<unsigned char>(*p);
            if (c >= 0x20 && c < 0x80) {
                ++p;
            } else if (c == '\t' || c == '\n' || c == '\r') {
                ++p;
            } else {
                const int length = c >= 0x80 ? utf8Character(p, end) : 0;
                if (length <= 0) {
                    fail(p, InvalidToken);
                }
                p += length;
            }
        }
    }

    // Character data up to the next markup, or as much of it as was read.
    bool text(const char* p)
    {
        const char* const start = p;
        const char* const end = limit();
        if (m_place != Place::Root) {
            while (isClass(*p, SpaceByte)) {
                ++p;
            }
            if (p < end && *p != '<') {
                fail(p, m_place == Place::Epilog ? "junk after document element" : InvalidToken);
            }
            consumeTo(p);
            return true;
        }
        const char* copied = start; // the decoded text holds everything before this
        bool decoded = false;
        for (;;) {
            p = skipPlainText(p);
            if (p == end || *p == '<') {
                break;
            }
            const char c = *p;
            if (c == '&') {
                if (!decoded) {
                    m_text.clear();
                    decoded = true;
                }
                m_text.append(copied, p);
                const char* after = reference(p, m_text);
                if (!after) {
                    m_incomplete = UnclosedToken;
                    break;
                }
                p = copied = after;
            } else if (c == '\r') {
                if (p + 1 == end && !m_eof) {
                    m_incomplete = UnclosedToken;
                    break;
                }
                if (!decoded) {
                    m_text.clear();
                    decoded = true;
                }
                m_text.append(copied, p);
                m_text += '\n';
                p += p + 1 < end && p[1] == '\n' ? 2 : 1;
                copied = p;
            } else if (c == ']') {
                if (end - p < 3 && !m_eof) {
                    m_incomplete = UnclosedToken;
                    break;
                }
                if (end - p >= 3 && p[1] == ']' && p[2] == '>') {
                    fail(p, InvalidToken);
                }
                ++p;
            } else if (static_cast<unsigned char>(c) >= 0x80) {
                const int length = utf8Character(p, end);
                if (length < 0) {
                    if (m_eof) {
                        fail(p, PartialCharacter);
                    }
                    m_incomplete = PartialCharacter;
                    break;
                }
                if (length == 0) {
                    fail(p, InvalidToken);
                }
                p += length;
            } else {
                fail(p, InvalidToken);
            }
        }
        if (p == start) {
            return false;
        }
        consumeTo(p);
        if (decoded) {
            m_text.append(copied, p);
            m_handler.characters(m_text);
        } else {
            m_handler.characters(std::string_view(start, static_cast<std::size_t>(p - start)));
        }
        return true;
    }

    bool markup(const char* p)
    {
        if (limit() - p < 2) {
            return incomplete(UnclosedToken);
        }
        switch (p[1]) {
        case '/':
            return endTag(p);
        case '?':
            return processingInstruction(p);
        case '!':
            return declaration(p);
        default:
            return startTag(p);
        }
    }

    // The first byte after the white space at q, which must be `expected`; null when the
    // bytes read end first.
    const char* expectAfterSpace(const char* q, char expected) const
    {
        while (isClass(*q, SpaceByte)) {
            ++q;
        }
        if (q == limit()) {
            return nullptr;
        }
        if (*q != expected) {
            fail(q, InvalidToken);
        }
        return q;
    }

    bool startTag(const char* p)
    {
        if (m_place == Place::Epilog) {
            fail(p, "junk after document element");
        }
        const char* const end = limit();
        const char* q = p + 1;
        const char* nameEnd = name(q);
        if (!nameEnd) {
            return incomplete(UnclosedToken);
        }
        const std::string_view qualifiedName(q, static_cast<std::size_t>(nameEnd - q));
        const std::string_view local = localName(nameEnd);
        q = nameEnd;
        m_pending.clear();
        m_values.clear();
        bool empty = false;
        for (;;) {
            const char* beforeSpace = q;
            while (isClass(*q, SpaceByte)) {
                ++q;
            }
            if (q == end) {
                return incomplete(UnclosedToken);
            }
            if (*q == '>') {
                ++q;
                break;
            }
            if (*q == '/') {
                if (q + 1 == end) {
                    return incomplete(UnclosedToken);
                }
                if (q[1] != '>') {
                    fail(q, InvalidToken);
                }
                q += 2;
                empty = true;
                break;
            }
            if (q == beforeSpace) {
                fail(q, InvalidToken); // attributes are set apart by white space
            }
            const char* attributeEnd = name(q);
            if (!attributeEnd) {
                return incomplete(UnclosedToken);
            }
            const std::string_view attribute(q, static_cast<std::size_t>(attributeEnd - q));
            const std::string_view attributeLocal = localName(attributeEnd);
            q = expectAfterSpace(attributeEnd, '=');
            if (!q) {
                return incomplete(UnclosedToken);
            }
            ++q;
            while (isClass(*q, SpaceByte)) {
                ++q;
            }
            if (q == end) {
                return incomplete(UnclosedToken);
            }
            const char quote = *q;
            if (quote != '"' && quote != '\'') {
                fail(q, InvalidToken);
            }
            const char* const value = ++q;
            q = skipPlainValue(q);
            if (q == end) {
                return incomplete(UnclosedToken);
            }
            if (*q == quote) {
                m_pending.push_back(
                    {attribute, attributeLocal, value, 0, static_cast<std::uint32_t>(q - value)});
                ++q;
                continue;
            }
            q = attributeValue(attribute, attributeLocal, value, q, quote);
            if (!q) {
                return incomplete(UnclosedToken);
            }
        }
        if (m_depth == MaxXmlDepth) {
            throw xmlTooDeepError(m_partName);
        }
        consumeTo(q);
        checkUnique(p);
        m_attributes.clear();
        for (const PendingAttribute& pending : m_pending) {
            if (XmlAttributes::isNamespaceDeclaration(pending.qualifiedName)) {
                continue;
            }
            const char* value = pending.raw ? pending.raw : m_values.data() + pending.offset;
            m_attributes.push_back({pending.qualifiedName,
                                    pending.localName,
                                    std::string_view(value, pending.length)});
        }
        m_place = Place::Root;
        if (empty) {
            m_handler.startElement(local, XmlAttributes(m_attributes));
            m_handler.endElement(local);
            if (m_depth == 0) {
                m_place = Place::Epilog;
            }
            return true;
        }
        ++m_depth;
        m_openEnds.push_back(m_openNames.size());
        m_openNames.append(qualifiedName);
        m_handler.startElement(local, XmlAttributes(m_attributes));
        return true;
    }

    // An attribute value that needs decoding, from value; p is its first byte that needs it.
    // Returns the byte after the closing quote, or null when the bytes read end first.
    const char* attributeValue(std::string_view attribute,
                               std::string_view local,
                               const char* value,
                               const char* p,
                               char quote)
    {
        const char* end = limit();
        const auto offset = static_cast<std::uint32_t>(m_values.size());
        m_values.append(value, p);
        for (;;) {
            if (p == end) {
                return nullptr;
            }
            const char c = *p;
            if (c == quote) {
                break;
            }
            if (!isClass(c, ValueStop) || c == '"' || c == '\'') {
                m_values += c;
                ++p;
            } else if (c == '&') {
                p = reference(p, m_values);
                if (!p) {
                    return nullptr;
                }
            } else if (c == '\r') {
                if (p + 1 == end) {
                    return nullptr;
                }
                m_values += ' ';
                p += p[1] == '\n' ? 2 : 1;
            } else if (c == '\n' || c == '\t') {
                m_values += ' ';
                ++p;
            } else if (static_cast<unsigned char>(c) >= 0x80) {
                const int length = utf8Character(p, end);
                if (length < 0) {
                    return nullptr;
                }
                if (length == 0) {
                    fail(p, InvalidToken);
                }
                m_values.append(p, static_cast<std::size_t>(length));
                p += length;
            } else {
                fail(p, InvalidToken); // "<" or a control character
            }
        }
        m_pending.push_back({attribute,
                             local,
                             nullptr,
                             offset,
                             static_cast<std::uint32_t>(m_values.size() - offset)});
        return p + 1;
    }

    void checkUnique(const char* tag)
    {
        const std::size_t count = m_pending.size();
        if (count <= 16) {
            for (std::size_t i = 1; i < count; ++i) {
                for (std::size_t j = 0; j < i; ++j) {
                    if (sameBytes(m_pending[j].qualifiedName, m_pending[i].qualifiedName)) {
                        fail(tag, "duplicate attribute");
                    }
                }
            }
            return;
        }
        // A tag of many attributes, as only a hostile file has: sorted, not compared in pairs.
        m_names.clear();
        for (const PendingAttribute& pending : m_pending) {
            m_names.push_back(pending.qualifiedName);
        }
        std::sort(m_names.begin(), m_names.end());
        if (std::adjacent_find(m_names.begin(), m_names.end()) != m_names.end()) {
            fail(tag, "duplicate attribute");
        }
    }

    bool endTag(const char* p)
    {
        const char* q = p + 2;
        const char* nameEnd = name(q);
        if (!nameEnd) {
            return incomplete(UnclosedToken);
        }
        const std::string_view qualifiedName(q, static_cast<std::size_t>(nameEnd - q));
        const std::string_view local = localName(nameEnd);
        q = expectAfterSpace(nameEnd, '>');
        if (!q) {
            return incomplete(UnclosedToken);
        }
        if (m_depth == 0) {
            fail(p, InvalidToken);
        }
        if (!sameBytes(std::string_view(m_openNames).substr(m_openEnds.back()), qualifiedName)) {
            fail(p, "mismatched tag");
        }
        consumeTo(q + 1);
        m_openNames.resize(m_openEnds.back());
        m_openEnds.pop_back();
        if (--m_depth == 0) {
            m_place = Place::Epilog;
        }
        m_handler.endElement(local);
        return true;
    }

    // "<?target ...?>": skipped, but for the XML declaration at the very start, checked.
    bool processingInstruction(const char* p)
    {
        const char* const end = limit();
        const char* q = p + 2;
        const char* nameEnd = name(q);
        if (!nameEnd) {
            return incomplete(UnclosedToken);
        }
        const std::string_view target(q, static_cast<std::size_t>(nameEnd - q));
        const char* close = nameEnd;
        for (;;) {
            close = findByte(close, end, '?');
            if (!close || close + 1 == end) {
                return incomplete(UnclosedToken);
            }
            if (close[1] == '>') {
                break;
            }
            ++close;
        }
        if (close != nameEnd && !isClass(*nameEnd, SpaceByte)) {
            fail(nameEnd, InvalidToken);
        }
        checkCharacters(nameEnd, close);
        if (target == "xml") {
            if (m_started) {
                fail(p, "XML or text declaration not at start of entity");
            }
            checkDeclaration(p,
                             std::string_view(nameEnd, static_cast<std::size_t>(close - nameEnd)));
        } else if (equalsIgnoringAsciiCase(target, "xml")) {
            fail(p, InvalidToken);
        }
        consumeTo(close + 2);
        return true;
    }

    // ` version="1.0" encoding="UTF-8" standalone="yes"`, in that order, the last two optional.
    void checkDeclaration(const char* at, std::string_view text) const
    {
        std::size_t i = 0;
        const auto pseudoAttribute = [&](std::string_view name) -> std::optional<std::string_view> {
            std::size_t j = i;
            const std::size_t spaceStart = j;
            while (j < text.size() && isClass(text[j], SpaceByte)) {
                ++j;
            }
            if (j == spaceStart || text.substr(j, name.size()) != name) {
                return std::nullopt;
            }
            j += name.size();
            while (j < text.size() && isClass(text[j], SpaceByte)) {
                ++j;
            }
            if (j == text.size() || text[j] != '=') {
                fail(at, "XML declaration not well-formed");
            }
            ++j;
            while (j < text.size() && isClass(text[j], SpaceByte)) {
                ++j;
            }
            if (j == text.size() || (text[j] != '"' && text[j] != '\'')) {
                fail(at, "XML declaration not well-formed");
            }
            const auto close = text.find(text[j], j + 1);
            if (close == std::string_view::npos) {
                fail(at, "XML declaration not well-formed");
            }
            i = close + 1;
            return text.substr(j + 1, close - j - 1);
        };
        const auto version = pseudoAttribute("version");
        if (!version || !version->starts_with("1.") || version->size() < 3
            || version->find_first_not_of("0123456789", 2) != std::string_view::npos) {
            fail(at, "XML declaration not well-formed");
        }
        if (const auto encoding = pseudoAttribute("encoding")) {
            if (!equalsIgnoringAsciiCase(*encoding, "UTF-8")) {
                fail(at, "XML declaration not well-formed");
            }
        }
        if (const auto standalone = pseudoAttribute("standalone")) {
            if (*standalone != "yes" && *standalone != "no") {
                fail(at, "XML declaration not well-formed");
            }
        }
        while (i < text.size() && isClass(text[i], SpaceByte)) {
            ++i;
        }
        if (i != text.size()) {
            fail(at, "XML declaration not well-formed");
        }
    }

    // "<!--", "<![CDATA[" or "<!DOCTYPE".
    bool declaration(const char* p)
    {
        const char* const end = limit();
        const std::string_view head(p,
                                    static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - p, 9)));
        for (const std::string_view opening : {"<!--", "<![CDATA[", "<!DOCTYPE"}) {
            if (head.size() < opening.size() && opening.starts_with(head)) {
                return incomplete(UnclosedToken);
            }
        }
        if (head.starts_with("<!--")) {
            return comment(p);
        }
        if (head.starts_with("<!DOCTYPE")) {
            // Workbook parts never declare a document type; one that does may be an
            // entity-expansion attack, so it is refused before any declaration is read.
            throw xmlDoctypeError(m_partName);
        }
        if (head.starts_with("<![CDATA[")) {
            if (m_place != Place::Root) {
                fail(p, m_place == Place::Epilog ? "junk after document element" : "syntax error");
            }
            return characterDataSection(p);
        }
        fail(p, InvalidToken);
    }

    bool comment(const char* p)
    {
        const char* const end = limit();
        const char* dash = p + 4;
        for (;;) {
            dash = findByte(dash, end, '-');
            if (!dash || end - dash < 3) {
                return incomplete(UnclosedToken);
            }
            if (dash[1] == '-') {
                break;
            }
            ++dash;
        }
        if (dash[2] != '>') {
            fail(dash, InvalidToken); // "--" only ends a comment
        }
        checkCharacters(p + 4, dash);
        consumeTo(dash + 3);
        return true;
    }

    bool characterDataSection(const char* p)
    {
        const char* const end = limit();
        const char* const start = p + 9;
        const char* close = start;
        for (;;) {
            close = findByte(close, end, ']');
            if (!close || end - close < 3) {
                return incomplete("unclosed CDATA section");
            }
            if (close[1] == ']' && close[2] == '>') {
                break;
            }
            ++close;
        }
        checkCharacters(start, close);
        consumeTo(close + 3);
        if (findByte(start, close, '\r')) {
            m_text.clear();
            for (const char* q = start; q < close; ++q) {
                if (*q != '\r') {
                    m_text += *q;
                } else if (q + 1 == close || q[1] != '\n') {
                    m_text += '\n';
                }
            }
            m_handler.characters(m_text);
        } else if (close != start) {
            m_handler.characters(std::string_view(start, static_cast<std::size_t>(close - start)));
        }
        return true;
    }

    const ByteReader& m_read;
    XmlHandler& m_handler;
    std::string_view m_partName;

    // m_end bytes read, then a 0 that stops every scan; zeros or earlier bytes up to
    // m_capacity + Padding, so that the scans may read 16 bytes at a time.
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_pos = 0; // the first byte not yet read
    std::size_t m_end = 0; // the end of the bytes in the buffer
    bool m_eof = false;
    std::uint64_t m_lines = 0; // line breaks before the buffer's first byte
    const char* m_incomplete = UnclosedToken;
    const char* m_local = nullptr; // see name()

    Place m_place = Place::Prolog;
    bool m_started = false; // something was read: an XML declaration is late
    int m_depth = 0;
    std::string m_openNames; // the qualified names of the open elements, joined
    std::vector<std::size_t> m_openEnds; // where each open element's name starts in them

    std::vector<PendingAttribute> m_pending;
    std::vector<XmlAttribute> m_attributes;
    std::vector<std::string_view> m_names; // for finding a repeated attribute
    std::string m_values; // decoded attribute values
    std::string m_text; // decoded character data
};

} // namespace

bool parseUtf8Xml(const ByteReader& read,
                  XmlHandler& handler,
                  std::string_view partName,
                  std::string& head)
{
    Scanner scanner(read, handler, partName);
    if (!scanner.start()) {
        head = scanner.buffered();
        return false;
    }
    scanner.run();
    return true;
}

} // namespace sheetfray::engine::readers
