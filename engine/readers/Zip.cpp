#include "engine/readers/Zip.h"

#include "support/Error.h"
#include "support/Text.h"

#include <zip.h>

#include <algorithm>

namespace sheetfray::engine::readers {

namespace {

// A compression ratio says little about a small part: a short run of spaces compresses well.
constexpr std::uint64_t RatioCheckFloor = 16u << 20;

// The least an archive may inflate to in all, whatever its size: a small workbook read again
// and again (a tool loading one sheet many times) stays far below it.
constexpr std::uint64_t BudgetFloor = std::uint64_t{256} << 20;

std::string libzipText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

ReadError openError(int code)
{
    using enum ReadError::Reason;
    switch (code) {
    case ZIP_ER_NOZIP:
        return ReadError(Damaged, "it is not a complete zip archive");
    case ZIP_ER_INCONS:
        return ReadError(Damaged, "the zip archive is inconsistent");
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
        return ReadError(FileNotOpened, libzipText(code));
    case ZIP_ER_MEMORY:
        return ReadError(OutOfMemory);
    default:
        return ReadError(Damaged, libzipText(code));
    }
}

} // namespace

std::string normalizePartName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        // Package part names are URIs: percent-escapes stand for bytes (ECMA-376 Part 2, 9.1.1).
        if (c == '%' && i + 2 < name.size()) {
            const int high = hexDigit(name[i + 1]);
            const int low = hexDigit(name[i + 2]);
            if (high >= 0 && low >= 0) {
                c = static_cast<char>(high * 16 + low);
                i += 2;
            }
        }
        // Some writers store entry names with Windows separators (calamine issue 530).
        if (c == '\\') {
            c = '/';
        }
        if (c == '/' && out.empty()) {
            continue;
        }
        // Part names compare case-insensitively for ASCII letters (ECMA-376 Part 2, 9.1.1.1).
        out += asciiLower(c);
    }
    return out;
}

void ZipArchive::Closer::operator()(zip* archive) const
{
    zip_discard(archive);
}

void ZipEntry::Closer::operator()(zip_file* file) const
{
    zip_fclose(file);
}

ZipArchive::ZipArchive(const std::filesystem::path& path, std::string fileName)
    : m_fileName(std::move(fileName))
{
    int code = 0;
    m_archive.reset(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!m_archive) {
        throw openError(code);
    }
    std::error_code sizeError;
    const std::uint64_t size = std::filesystem::file_size(path, sizeError);
    m_budget = std::make_shared<InflateBudget>();
    m_budget->limit = std::max(BudgetFloor, sizeError ? 0 : size * ZipEntry::MaxCompressionRatio);
    const zip_int64_t count = zip_get_num_entries(m_archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<std::uint64_t>(i);
        const char* name = zip_get_name(m_archive.get(), index, ZIP_FL_ENC_GUESS);
        if (name) {
            m_names.emplace_back(normalizePartName(name), index);
        }
    }
    // Stable, so that of two entries with one name the first in the directory is found.
    std::stable_sort(m_names.begin(), m_names.end(), [](const auto& a, const auto& b) {
        return a.first < b.first;
    });
}

std::optional<std::uint64_t> ZipArchive::find(std::string_view partName) const
{
    const std::string key = normalizePartName(partName);
    const auto found = std::lower_bound(
        m_names.begin(), m_names.end(), key, [](const auto& entry, const std::string& k) {
            return entry.first < k;
        });
    if (found == m_names.end() || found->first != key) {
        return std::nullopt;
    }
    return found->second;
}

ZipEntry ZipArchive::open(std::uint64_t index) const
{
    const char* rawName = zip_get_name(m_archive.get(), index, ZIP_FL_ENC_GUESS);
    std::string name = rawName ? rawName : "?";
    zip_stat_t stat;
    zip_stat_init(&stat);
    std::uint64_t compressedSize = 0;
    std::uint64_t declaredSize = 0;
    if (zip_stat_index(m_archive.get(), index, 0, &stat) == 0) {
        if ((stat.valid & ZIP_STAT_COMP_SIZE) != 0) {
            compressedSize = stat.comp_size;
        }
        if ((stat.valid & ZIP_STAT_SIZE) != 0) {
            declaredSize = stat.size;
        }
    }
    zip_file* file = zip_fopen_index(m_archive.get(), index, 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(m_archive.get()));
        using enum ReadError::Reason;
        switch (code) {
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_ENCRNOTSUPP:
            throw ReadError(PasswordProtected);
        case ZIP_ER_COMPNOTSUPP:
            throw ReadError(PartCompression, {}, {.part = name});
        default:
            throw ReadError(PartUnreadable, libzipText(code), {.part = name});
        }
    }
    return ZipEntry(file, index, std::move(name), compressedSize, declaredSize, m_budget);
}

ZipEntry::ZipEntry(zip_file* file,
                   std::uint64_t index,
                   std::string name,
                   std::uint64_t compressedSize,
                   std::uint64_t declaredSize,
                   std::shared_ptr<InflateBudget> budget)
    : m_file(file)
    , m_budget(std::move(budget))
    , m_index(index)
    , m_name(std::move(name))
    , m_compressedSize(compressedSize)
    , m_declaredSize(declaredSize)
{}

std::size_t ZipEntry::read(char* buffer, std::size_t size)
{
    const zip_int64_t n = zip_fread(m_file.get(), buffer, size);
    if (n < 0) {
        const int code = zip_error_code_zip(zip_file_get_error(m_file.get()));
        using enum ReadError::Reason;
        switch (code) {
        case ZIP_ER_CRC:
            throw ReadError(PartChecksum, {}, {.part = m_name});
        case ZIP_ER_ZLIB:
        case ZIP_ER_COMPRESSED_DATA:
        case ZIP_ER_EOF:
            throw ReadError(PartCorrupt, {}, {.part = m_name});
        default:
            throw ReadError(PartUnreadable, libzipText(code), {.part = m_name});
        }
    }
    m_inflated += static_cast<std::uint64_t>(n);
    if (m_inflated > MaxEntrySize) {
        throw ReadError(ReadError::Reason::PartTooLarge, {}, {.part = m_name});
    }
    // No spreadsheet part compresses a thousandfold; a zip bomb does (deflate's limit is 1032).
    if (m_inflated > RatioCheckFloor
        && m_inflated / std::max<std::uint64_t>(m_compressedSize, 1) > MaxCompressionRatio) {
        throw ReadError(ReadError::Reason::PartOvercompressed, {}, {.part = m_name});
    }
    const std::lock_guard lock(m_budget->mutex);
    std::uint64_t& charged = m_budget->charged[m_index];
    if (m_inflated > charged) {
        m_budget->used += m_inflated - charged;
        charged = m_inflated;
    }
    if (m_budget->used > m_budget->limit) {
        throw ReadError(ReadError::Reason::OverlappingParts);
    }
    return static_cast<std::size_t>(n);
}

} // namespace sheetfray::engine::readers
