// The paths a run has written, kept in memory that grows with the irregular names only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sheetfray::engine {

// Most runs write names that differ only in one number: "Book1_12.txt", "C5.txt",
// "Sheet1_007.csv", and a repeated name's copies "Pen (2).txt", "Pen (3).txt". Names that
// differ in their last number only are kept as runs of numbers, a few bytes for thousands of
// names; any other name is kept as a 64-bit hash of its path, 16 bytes or so. A split of ten
// million cells so remembers its names in kilobytes instead of hundreds of MB.
class NameRecord
{
public:
    [[nodiscard]] bool contains(std::string_view path) const;
    void insert(std::string_view path);

    // The 64-bit hash a name is kept by when it has no run (never 0).
    [[nodiscard]] static std::uint64_t hashOf(std::string_view path);

private:
    // Paths as 64-bit hashes in an open-addressed table, at most half full.
    class HashSet
    {
    public:
        [[nodiscard]] bool contains(std::uint64_t hash) const;
        void insert(std::uint64_t hash);

    private:
        std::vector<std::uint64_t> m_slots; // 0: empty
        std::size_t m_count = 0;
    };

    // The numbers written between one stem and one tail in one width of digits: the run being
    // extended and the runs it left behind (first number to last). "7" and "007" are different
    // names, so each width of digits has its own record.
    struct Numbers
    {
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        std::map<std::uint64_t, std::uint64_t> earlier;

        [[nodiscard]] bool contains(std::uint64_t number) const;
    };

    // A path cut around its last number: stem, digits, tail (what follows, the extension).
    struct Parts
    {
        std::string_view stem;
        std::string_view digits;
        std::string_view tail;
        std::uint64_t number = 0;
    };

    [[nodiscard]] static bool split(std::string_view path, Parts& parts);
    [[nodiscard]] static std::string key(const Parts& parts);
    [[nodiscard]] static std::string pathWith(const Parts& parts, std::uint64_t number);
    [[nodiscard]] bool hashed(const Parts& parts, std::uint64_t number) const;
    void hashAll(const Parts& parts, std::uint64_t first, std::uint64_t last);

    HashSet m_hashes;
    std::unordered_map<std::string, Numbers> m_numbers; // by stem, width and tail
};

} // namespace sheetfray::engine
