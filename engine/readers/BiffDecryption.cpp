#include "engine/readers/BiffDecryption.h"

#include "engine/readers/BiffRecords.h"
#include "engine/readers/LittleEndian.h"
#include "support/Error.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace sheetfray::engine::readers {

namespace {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

constexpr std::string_view DefaultPassword = "VelvetSweatshop";

// RC4 starts afresh with a new key every 1024 bytes of the stream (MS-XLS 2.2.10).
constexpr std::size_t Rc4BlockSize = 1024;

[[noreturn]] void needsPassword()
{
    throw ReadError(ReadError::Reason::PasswordProtected);
}

ByteView bytesOf(std::span<const std::byte> bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

Bytes passwordUtf16()
{
    Bytes out;
    for (const char c : DefaultPassword) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

std::array<std::uint8_t, 4> blockNumber(std::uint32_t block)
{
    return {static_cast<std::uint8_t>(block),
            static_cast<std::uint8_t>(block >> 8),
            static_cast<std::uint8_t>(block >> 16),
            static_cast<std::uint8_t>(block >> 24)};
}

Bytes md5(std::initializer_list<ByteView> parts)
{
    md5_ctx context{};
    md5_init(&context);
    for (const ByteView part : parts) {
        md5_update(&context, part.size(), part.data());
    }
    Bytes digest(MD5_DIGEST_SIZE);
    md5_digest(&context, digest.size(), digest.data());
    return digest;
}

Bytes sha1(std::initializer_list<ByteView> parts)
{
    sha1_ctx context{};
    sha1_init(&context);
    for (const ByteView part : parts) {
        sha1_update(&context, part.size(), part.data());
    }
    Bytes digest(SHA1_DIGEST_SIZE);
    sha1_digest(&context, digest.size(), digest.data());
    return digest;
}

// The records whose bodies stay plain in an encrypted stream (MS-XLS 2.2.10).
bool staysPlain(std::uint16_t type)
{
    switch (type) {
    case biff::Bof:
    case biff::Bof2:
    case biff::Bof3:
    case biff::Bof4:
    case biff::FilePass:
    case 0x00E1: // INTERFACEHDR
    case 0x0138: // RRDHEAD
    case 0x0194: // USREXCL
    case 0x0195: // FILELOCK
    case 0x0196: // RRDINFO
        return true;
    default:
        return false;
    }
}

// Calls decrypt(bytes, position, recordSize) for the encrypted part of each record after the
// given offset. A record that runs past the end is left for the record reader to report.
template <typename Decrypt>
void forEachEncryptedPart(std::span<std::byte> stream, std::size_t offset, Decrypt&& decrypt)
{
    while (offset + 4 <= stream.size()) {
        const std::uint16_t type = le16(stream, offset);
        const std::size_t length = le16(stream, offset + 2);
        const std::size_t data = offset + 4;
        if (data + length > stream.size()) {
            return;
        }
        std::size_t plain = 0;
        if (staysPlain(type)) {
            plain = length;
        } else if (type == biff::BoundSheet) {
            plain = std::min<std::size_t>(4, length); // the sheet's position
        }
        if (plain < length) {
            decrypt(stream.subspan(data + plain, length - plain), data + plain, length);
        }
        offset = data + length;
    }
}

// RC4 whose key stream is placed by the position in the workbook stream: a new key for each
// 1024-byte block, numbered from the start of the stream.
class BlockRc4
{
public:
    using KeyFor = std::function<Bytes(std::uint32_t block)>;

    explicit BlockRc4(KeyFor keyFor)
        : m_keyFor(std::move(keyFor))
    {}

    void apply(std::uint8_t* data, std::size_t count, std::size_t position)
    {
        while (count > 0) {
            const auto block = static_cast<std::uint32_t>(position / Rc4BlockSize);
            const std::size_t offset = position % Rc4BlockSize;
            if (!m_keyed || block != m_block || offset < m_offset) {
                rekey(block);
            }
            skip(offset - m_offset);
            const std::size_t step = std::min(count, Rc4BlockSize - offset);
            arcfour_crypt(&m_context, step, data, data);
            m_offset = offset + step;
            data += step;
            count -= step;
            position += step;
        }
    }

private:
    void rekey(std::uint32_t block)
    {
        const Bytes key = m_keyFor(block);
        arcfour_set_key(&m_context, key.size(), key.data());
        m_block = block;
        m_offset = 0;
        m_keyed = true;
    }

    void skip(std::size_t count)
    {
        std::array<std::uint8_t, 256> scratch{};
        while (count > 0) {
            const std::size_t step = std::min(count, scratch.size());
            arcfour_crypt(&m_context, step, scratch.data(), scratch.data());
            count -= step;
        }
    }

    KeyFor m_keyFor;
    arcfour_ctx m_context{};
    bool m_keyed = false;
    std::uint32_t m_block = 0;
    std::size_t m_offset = 0;
};

void decryptRc4(std::span<std::byte> stream, std::size_t start, BlockRc4& cipher)
{
    forEachEncryptedPart(
        stream, start, [&](std::span<std::byte> bytes, std::size_t position, std::size_t) {
            cipher.apply(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(), position);
        });
}

// RC4 with MD5 keys (MS-OFFCRYPTO 2.3.6): salt, encrypted verifier and its encrypted MD5.
void decryptStandardRc4(std::span<std::byte> stream, std::size_t start, ByteView header)
{
    if (header.size() < 48) {
        needsPassword();
    }
    const ByteView salt = header.subspan(0, 16);
    const Bytes password = passwordUtf16();
    Bytes h0 = md5({password});
    Bytes buffer;
    for (int i = 0; i < 16; ++i) {
        buffer.insert(buffer.end(), h0.begin(), h0.begin() + 5);
        buffer.insert(buffer.end(), salt.begin(), salt.end());
    }
    Bytes h1 = md5({buffer});
    h1.resize(5);
    BlockRc4 cipher([h1](std::uint32_t block) { return md5({h1, blockNumber(block)}); });
    Bytes check(header.begin() + 16, header.begin() + 48);
    cipher.apply(check.data(), check.size(), 0);
    const Bytes hash = md5({ByteView(check).first(16)});
    if (!std::equal(hash.begin(), hash.end(), check.begin() + 16)) {
        needsPassword();
    }
    BlockRc4 data([h1](std::uint32_t block) { return md5({h1, blockNumber(block)}); });
    decryptRc4(stream, start, data);
}

// RC4 with SHA-1 keys through the CryptoAPI (MS-OFFCRYPTO 2.3.5): an encryption header naming
// the algorithms and key size, then the salt, the encrypted verifier and its encrypted SHA-1.
void decryptCryptoApiRc4(std::span<std::byte> stream, std::size_t start, ByteView info)
{
    // info: flags (4), header size (4), header, verifier.
    if (info.size() < 8) {
        needsPassword();
    }
    const std::span<const std::byte> raw(reinterpret_cast<const std::byte*>(info.data()),
                                         info.size());
    const std::size_t headerSize = le32(raw, 4);
    if (headerSize < 32 || headerSize > info.size() - 8) {
        needsPassword();
    }
    const std::uint32_t algorithm = le32(raw, 8 + 8);
    const std::uint32_t hashAlgorithm = le32(raw, 8 + 12);
    std::uint32_t keyBits = le32(raw, 8 + 16);
    if (keyBits == 0) {
        keyBits = 40;
    }
    constexpr std::uint32_t Rc4Algorithm = 0x6801;
    constexpr std::uint32_t Sha1Algorithm = 0x8004;
    if (algorithm != Rc4Algorithm || (hashAlgorithm != Sha1Algorithm && hashAlgorithm != 0)
        || keyBits < 40 || keyBits > 128 || keyBits % 8 != 0) {
        needsPassword();
    }
    const std::size_t verifier = 8 + headerSize;
    if (info.size() - verifier < 4 + 16 + 16 + 4 + 20 || le32(raw, verifier) != 16
        || le32(raw, verifier + 36) != 20) {
        needsPassword();
    }
    const Bytes salt(info.begin() + static_cast<std::ptrdiff_t>(verifier + 4),
                     info.begin() + static_cast<std::ptrdiff_t>(verifier + 20));
    const Bytes h0 = sha1({salt, passwordUtf16()});
    const auto keyFor = [h0, keyBytes = keyBits / 8](std::uint32_t block) {
        Bytes key = sha1({h0, blockNumber(block)});
        key.resize(keyBytes);
        // A 40-bit key is used as 128 bits whose rest is zero.
        if (keyBytes == 5) {
            key.resize(16, 0);
        }
        return key;
    };
    Bytes check(info.begin() + static_cast<std::ptrdiff_t>(verifier + 20),
                info.begin() + static_cast<std::ptrdiff_t>(verifier + 36));
    check.insert(check.end(),
                 info.begin() + static_cast<std::ptrdiff_t>(verifier + 40),
                 info.begin() + static_cast<std::ptrdiff_t>(verifier + 60));
    BlockRc4 verifierCipher(keyFor);
    verifierCipher.apply(check.data(), check.size(), 0);
    const Bytes hash = sha1({ByteView(check).first(16)});
    if (!std::equal(hash.begin(), hash.end(), check.begin() + 16)) {
        needsPassword();
    }
    BlockRc4 cipher(keyFor);
    decryptRc4(stream, start, cipher);
}

// XOR obfuscation, method 1 (MS-OFFCRYPTO 2.3.7.1 to 2.3.7.3).
constexpr std::array<std::uint8_t, 15> XorPad = {
    0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
// clang-format off
constexpr std::array<std::uint16_t, 15> XorInitialCode = {
    0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
    0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3,
};
constexpr std::array<std::uint16_t, 105> XorMatrix = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09,
    0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7, 0x9DCF, 0x2BBF,
    0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0,
    0x0375, 0x06EA, 0x0DD4, 0x1BA8, 0x3750, 0x6EA0, 0xDD40,
    0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5,
    0x6F45, 0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A,
    0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC, 0x5FD9,
    0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0,
    0xB861, 0x60E3, 0xC1C6, 0x93AD, 0x377B, 0x6EF6, 0xDDEC,
    0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10,
    0xAA51, 0x4483, 0x8906, 0x022D, 0x045A, 0x08B4, 0x1168,
    0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD,
    0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373, 0x06E6, 0x0DCC,
    0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4,
};

// clang-format on

std::uint16_t xorVerifier(std::string_view password)
{
    std::uint16_t verifier = 0;
    const auto step = [&](std::uint8_t byte) {
        const auto high = static_cast<std::uint16_t>((verifier & 0x4000) != 0 ? 1 : 0);
        verifier = static_cast<std::uint16_t>((((verifier << 1) & 0x7FFF) | high) ^ byte);
    };
    for (auto it = password.rbegin(); it != password.rend(); ++it) {
        step(static_cast<std::uint8_t>(*it));
    }
    step(static_cast<std::uint8_t>(password.size()));
    return static_cast<std::uint16_t>(verifier ^ 0xCE4B);
}

std::uint16_t xorKey(std::string_view password)
{
    std::uint16_t key = XorInitialCode[password.size() - 1];
    std::size_t element = XorMatrix.size();
    for (auto it = password.rbegin(); it != password.rend(); ++it) {
        auto c = static_cast<std::uint8_t>(*it);
        for (int bit = 0; bit < 7; ++bit) {
            --element;
            if ((c & 0x40) != 0) {
                key ^= XorMatrix[element];
            }
            c = static_cast<std::uint8_t>(c << 1);
        }
    }
    return key;
}

std::uint8_t rotateRight(std::uint8_t value, int count)
{
    return static_cast<std::uint8_t>((value >> count) | (value << (8 - count)));
}

void decryptXor(std::span<std::byte> stream, std::size_t start, ByteView keyAndHash)
{
    if (keyAndHash.size() < 4) {
        needsPassword();
    }
    const auto key = static_cast<std::uint16_t>(keyAndHash[0] | (keyAndHash[1] << 8));
    const auto hash = static_cast<std::uint16_t>(keyAndHash[2] | (keyAndHash[3] << 8));
    if (key != xorKey(DefaultPassword) || hash != xorVerifier(DefaultPassword)) {
        needsPassword();
    }
    // The password, padded to 16 bytes, each byte mixed with one byte of the key.
    std::array<std::uint8_t, 16> mask{};
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const std::uint8_t c = i < DefaultPassword.size()
            ? static_cast<std::uint8_t>(DefaultPassword[i])
            : XorPad[i - DefaultPassword.size()];
        const auto keyByte = static_cast<std::uint8_t>((i % 2) != 0 ? key >> 8 : key & 0xFF);
        mask[i] = rotateRight(static_cast<std::uint8_t>(c ^ keyByte), 1);
    }
    // A byte's place in the mask counts from the end of its record (MS-XLS 2.2.10).
    forEachEncryptedPart(
        stream,
        start,
        [&](std::span<std::byte> bytes, std::size_t position, std::size_t recordSize) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const std::uint8_t m = mask[(position + i + recordSize) % mask.size()];
                bytes[i] = std::byte{rotateRight(
                    static_cast<std::uint8_t>(std::to_integer<std::uint8_t>(bytes[i]) ^ m), 5)};
            }
        });
}

} // namespace

void decryptWithDefaultPassword(std::span<std::byte> stream,
                                const BiffRecord& filePass,
                                FilePassLayout layout)
{
    const ByteView body = bytesOf(filePass.data);
    const std::size_t start = filePass.offset + 4 + body.size();
    if (layout == FilePassLayout::BeforeBiff8) {
        decryptXor(stream, start, body);
        return;
    }
    if (body.size() < 6) {
        needsPassword();
    }
    const auto method = static_cast<std::uint16_t>(body[0] | (body[1] << 8));
    if (method == 0) {
        decryptXor(stream, start, body.subspan(2));
        return;
    }
    const auto major = static_cast<std::uint16_t>(body[2] | (body[3] << 8));
    const auto minor = static_cast<std::uint16_t>(body[4] | (body[5] << 8));
    if (method == 1 && major == 1 && minor == 1) {
        decryptStandardRc4(stream, start, body.subspan(6));
    } else if (method == 1 && major >= 2 && major <= 4 && minor == 2) {
        decryptCryptoApiRc4(stream, start, body.subspan(6));
    } else {
        needsPassword();
    }
}

} // namespace sheetfray::engine::readers
