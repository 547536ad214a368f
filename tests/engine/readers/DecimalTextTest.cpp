#include "engine/readers/DecimalText.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>

namespace sheetfray::engine::readers {
namespace {

// What std::from_chars makes of the whole text, as bits, so that -0 and 0 differ.
std::uint64_t bitsFromChars(const std::string& text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
    return std::bit_cast<std::uint64_t>(value);
}

TEST(DecimalText, ReadsPlainDecimalsAsFromCharsDoes)
{
    for (const std::string text : {"0",
                                   "-0",
                                   "7",
                                   "-58641",
                                   "307.96",
                                   "-2597.11",
                                   "0.9115",
                                   "0.1",
                                   "0.3",
                                   "2.675",
                                   "1.005",
                                   "123456789012345",
                                   "9007199254740991",
                                   "0.0000000000000000000001",
                                   "45035996273704.75",
                                   "000012.50"}) {
        double value = 0;
        ASSERT_TRUE(readPlainDecimal(text, value)) << text;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(value), bitsFromChars(text)) << text;
    }
    // Random texts of up to 16 digits with the point anywhere: the fast path must never
    // differ from the general parser.
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200'000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 16);
        std::string text = random() % 2 ? "-" : "";
        const int point = static_cast<int>(random() % static_cast<std::uint64_t>(digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point && d > 0) {
                text += '.';
            }
            text += static_cast<char>('0' + random() % 10);
        }
        double value = 0;
        if (readPlainDecimal(text, value)) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(value), bitsFromChars(text)) << text;
        }
    }
}

TEST(DecimalText, LeavesEverythingElseToTheGeneralParser)
{
    for (const std::string text : {"",
                                   "-",
                                   ".",
                                   "1.",
                                   ".5",
                                   "-.5",
                                   "1e5",
                                   "1E-3",
                                   "+1",
                                   " 1",
                                   "1 ",
                                   "1.2.3",
                                   "0x10",
                                   "inf",
                                   "nan",
                                   "12345678901234567",
                                   "9007199254740993",
                                   "1.00000000000000000000001",
                                   "1,5"}) {
        double value = 0;
        EXPECT_FALSE(readPlainDecimal(text, value)) << text;
    }
}

} // namespace
} // namespace sheetfray::engine::readers
