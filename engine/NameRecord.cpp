#include "engine/NameRecord.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

namespace sheetfray::engine {

namespace {

// A stem's numbers are kept as runs once four of them follow one another; a run that ends
// shorter goes back to the hashes, so scattered numbers cost no more than other names.
constexpr std::uint64_t ShortestRun = 4;

// Numbers of up to 18 digits fit 64 bits with room to count on.
constexpr std::size_t LongestNumber = 18;

} // namespace

std::uint64_t NameRecord::hashOf(std::string_view path)
{
    const std::uint64_t hash = std::hash<std::string_view>{}(path);
    return hash == 0 ? 1 : hash; // 0 marks an empty slot
}

bool NameRecord::HashSet::contains(std::uint64_t hash) const
{
    if (m_slots.empty()) {
        return false;
    }
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        if (m_slots[i] == hash) {
            return true;
        }
        if (m_slots[i] == 0) {
            return false;
        }
    }
}

void NameRecord::HashSet::insert(std::uint64_t hash)
{
    // Kept at most half full, so a lookup ends after a probe or two.
    if ((m_count + 1) * 2 > m_slots.size()) {
        std::vector<std::uint64_t> old = std::move(m_slots);
        m_slots.assign(std::max<std::size_t>(64, old.size() * 2), 0);
        m_count = 0;
        for (const std::uint64_t kept : old) {
            if (kept != 0) {
                insert(kept);
            }
        }
    }
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        if (m_slots[i] == hash) {
            return;
        }
        if (m_slots[i] == 0) {
            m_slots[i] = hash;
            ++m_count;
            return;
        }
    }
}

bool NameRecord::Numbers::contains(std::uint64_t number) const
{
    if (number >= first && number <= last) {
        return true;
    }
    auto after = earlier.upper_bound(number);
    return after != earlier.begin() && number <= std::prev(after)->second;
}

bool NameRecord::split(std::string_view path, Parts& parts)
{
    std::size_t end = path.size();
    while (end > 0 && (path[end - 1] < '0' || path[end - 1] > '9')) {
        --end;
    }
    std::size_t start = end;
    while (start > 0 && path[start - 1] >= '0' && path[start - 1] <= '9') {
        --start;
    }
    const std::size_t digits = end - start;
    if (digits == 0 || digits > LongestNumber) {
        return false;
    }
    parts.stem = path.substr(0, start);
    parts.digits = path.substr(start, digits);
    parts.tail = path.substr(end);
    parts.number = 0;
    for (const char digit : parts.digits) {
        parts.number = parts.number * 10 + static_cast<std::uint64_t>(digit - '0');
    }
    return true;
}

std::string NameRecord::key(const Parts& parts)
{
    // No path holds a NUL, so stem, width and tail cannot run into one another.
    std::string key;
    key.reserve(parts.stem.size() + parts.tail.size() + 2);
    key += parts.stem;
    key += '\0';
    key += static_cast<char>(parts.digits.size());
    key += parts.tail;
    return key;
}

std::string NameRecord::pathWith(const Parts& parts, std::uint64_t number)
{
    std::string digits(parts.digits.size(), '0');
    for (std::size_t i = digits.size(); i > 0 && number > 0; --i, number /= 10) {
        digits[i - 1] = static_cast<char>('0' + number % 10);
    }
    std::string path;
    path.reserve(parts.stem.size() + digits.size() + parts.tail.size());
    path += parts.stem;
    path += digits;
    path += parts.tail;
    return path;
}

bool NameRecord::hashed(const Parts& parts, std::uint64_t number) const
{
    return m_hashes.contains(hashOf(pathWith(parts, number)));
}

void NameRecord::hashAll(const Parts& parts, std::uint64_t first, std::uint64_t last)
{
    for (std::uint64_t number = first; number <= last; ++number) {
        m_hashes.insert(hashOf(pathWith(parts, number)));
    }
}

bool NameRecord::contains(std::string_view path) const
{
    Parts parts;
    if (split(path, parts)) {
        const auto found = m_numbers.find(key(parts));
        if (found != m_numbers.end() && found->second.contains(parts.number)) {
            return true;
        }
    }
    return m_hashes.contains(hashOf(path));
}

void NameRecord::insert(std::string_view path)
{
    Parts parts;
    if (!split(path, parts)) {
        m_hashes.insert(hashOf(path));
        return;
    }
    const std::uint64_t number = parts.number;
    std::string stemKey = key(parts);
    const auto found = m_numbers.find(stemKey);
    if (found == m_numbers.end()) {
        // The fourth number in a row after one stem starts its run; the three before it stay
        // among the hashes as well.
        if (number >= ShortestRun - 1 && hashed(parts, number - 1) && hashed(parts, number - 2)
            && hashed(parts, number - 3)) {
            m_numbers.emplace(std::move(stemKey), Numbers{number - 3, number, {}});
        } else {
            m_hashes.insert(hashOf(path));
        }
        return;
    }
    Numbers& numbers = found->second;
    if (numbers.contains(number)) {
        return;
    }
    if (number == numbers.last + 1) {
        numbers.last = number; // not in an earlier run: contains() said so
        return;
    }
    if (numbers.last - numbers.first + 1 >= ShortestRun) {
        numbers.earlier.emplace(numbers.first, numbers.last);
    } else {
        hashAll(parts, numbers.first, numbers.last);
    }
    numbers.first = number;
    numbers.last = number;
}

} // namespace sheetfray::engine
