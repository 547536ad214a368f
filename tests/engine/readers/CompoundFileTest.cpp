#include "engine/readers/CompoundFile.h"

#include "engine/CompoundFileWriter.h"
#include "support/Error.h"
#include "tests/builders/XlsBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sheetfray::testing {
namespace {

using engine::readers::CompoundFile;

Bytes pattern(std::size_t size, unsigned seed)
{
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = std::byte((i * 31 + seed) & 0xFF);
    }
    return out;
}

void put32(Bytes& image, std::size_t at, std::uint32_t value)
{
    for (std::size_t k = 0; k < 4; ++k) {
        image[at + k] = std::byte((value >> (8 * k)) & 0xFF);
    }
}

std::string failure(Bytes image, const char* stream)
{
    try {
        const CompoundFile file(std::move(image));
        (void)file.readStream(stream);
    } catch (const ReadError& e) {
        return e.what();
    }
    return "";
}

TEST(CompoundFile, ReadsStreamsFromMiniStreamAndRegularSectors)
{
    const Bytes small = pattern(100, 1);
    const Bytes large = pattern(10000, 2);
    const CompoundFile file(compoundFile({{"Small", small}, {"Large", large}, {"Empty", {}}}));
    EXPECT_EQ(file.readStream("small"), small); // names compare without case
    EXPECT_EQ(file.readStream("LARGE"), large);
    EXPECT_TRUE(file.readStream("Empty").empty());
    EXPECT_FALSE(file.hasStream("Workbook"));
    EXPECT_EQ(file.streamNames(), (std::vector<std::string>{"Small", "Large", "Empty"}));
}

TEST(CompoundFile, ReadsBackWhatTheWriterWroteOfEverySize)
{
    // Below 4096 bytes in the mini stream; from 4096 in sectors; past 109 allocation-table
    // sectors (7 MB) with their numbers in DIFAT sectors as well.
    for (const std::size_t size : {std::size_t{0},
                                   std::size_t{1},
                                   std::size_t{64},
                                   std::size_t{4095},
                                   std::size_t{4096},
                                   std::size_t{70000},
                                   std::size_t{109 * 128 * 512},
                                   std::size_t{9'000'000}}) {
        const Bytes stream = pattern(size, 3);
        std::string image = "kept";
        engine::appendCompoundFile(
            "Workbook",
            std::string_view(reinterpret_cast<const char*>(stream.data()), stream.size()),
            image);
        ASSERT_EQ(image.substr(0, 4), "kept");
        EXPECT_EQ((image.size() - 4) % 512, 0u) << size;
        Bytes bytes(image.size() - 4);
        std::transform(image.begin() + 4, image.end(), bytes.begin(), [](char c) {
            return std::byte(static_cast<unsigned char>(c));
        });
        const CompoundFile file(std::move(bytes));
        EXPECT_EQ(file.streamNames(), std::vector<std::string>{"Workbook"}) << size;
        EXPECT_TRUE(file.readStream("Workbook") == stream) << size;
    }
}

TEST(CompoundFile, SectorChainThatLoopsIsDamaged)
{
    Bytes image = compoundFile({{"Large", pattern(10000, 3)}});
    // The large stream's sectors follow the FAT (sector 0), directory (1), mini FAT and mini
    // stream (none here): point its third sector back at its first.
    put32(image, fatEntryOffset(image, 4), 2);
    EXPECT_NE(failure(image, "Large").find("damaged"), std::string::npos);
}

TEST(CompoundFile, StreamLargerThanTheFileIsDamaged)
{
    Bytes image = compoundFile({{"Large", pattern(10000, 3)}});
    // Directory entry 1 (the stream) sits at 128 bytes into the directory sector 1.
    put32(image, 2 * 512 + 128 + 120, 0x7FFFFFFF);
    EXPECT_NE(failure(image, "Large").find("damaged"), std::string::npos);
}

TEST(CompoundFile, TruncatedFileIsDamaged)
{
    Bytes image = compoundFile({{"Large", pattern(10000, 4)}});
    image.resize(image.size() / 2);
    EXPECT_NE(failure(image, "Large").find("damaged"), std::string::npos);
    image.resize(300);
    EXPECT_NE(failure(image, "Large").find("damaged"), std::string::npos);
}

// Writers that do not pad the last sector leave a file that is not a whole number of sectors:
// its missing bytes read as zeros, as long as the allocation table and the directory are whole.
TEST(CompoundFile, LastSectorCutShortReadsAsZeros)
{
    const Bytes large = pattern(10000, 7); // 19 sectors and 272 bytes, at the end of the file
    const Bytes small = pattern(100, 8); // in the mini stream, the file's last sector
    const auto zeroTail = [](Bytes data, std::size_t count) {
        std::fill(data.end() - static_cast<std::ptrdiff_t>(count), data.end(), std::byte{0});
        return data;
    };

    const struct
    {
        Bytes stream;
        std::size_t missing; // bytes cut off the end of the file
        Bytes expected;
    } cases[] = {
        {large, 512 - 272, large},
        {large, 500, zeroTail(large, 260)},
        {small, 512 - 100, small},
        {small, 450, zeroTail(small, 38)},
    };

    for (const auto& c : cases) {
        Bytes image = compoundFile({{"Stream", c.stream}});
        image.resize(image.size() - c.missing);
        EXPECT_EQ(CompoundFile(image).readStream("Stream"), c.expected) << c.missing;
        EXPECT_EQ(CompoundFile(image).takeStream("Stream"), c.expected) << c.missing;
    }

    // The allocation table (sector 0) or the directory (sector 1) moved to the end of the file
    // and cut short there: damaged.
    for (const auto& [sector, headerAt] : {std::pair{0u, 76u}, std::pair{1u, 48u}}) {
        Bytes image = compoundFile({{"Stream", small}});
        const auto last = static_cast<std::uint32_t>(image.size() / 512 - 1);
        const Bytes moved(image.begin() + (sector + 1) * 512, image.begin() + (sector + 2) * 512);
        image.insert(image.end(), moved.begin(), moved.end());
        put32(image, headerAt, last);
        put32(image, fatEntryOffset(image, last), sector == 0 ? 0xFFFFFFFD : 0xFFFFFFFE);
        put32(image, fatEntryOffset(image, sector), 0xFFFFFFFF);
        ASSERT_EQ(CompoundFile(image).readStream("Stream"), small) << sector;
        image.resize(image.size() - 100);
        EXPECT_NE(failure(image, "Stream").find("damaged"), std::string::npos) << sector;
    }
}

// A file of two 20-sector streams, "Large" and "Filler", with Large's sectors at the given
// places among the 40 (sector 2 is the first after the FAT and the directory) and Filler's
// in the others, in ascending order.
Bytes withLargeAt(const Bytes& large, const Bytes& filler, const std::vector<std::uint32_t>& at)
{
    constexpr std::size_t Size = 512;
    Bytes image = compoundFile({{"Large", large}, {"Filler", filler}});
    std::vector<std::uint32_t> rest;
    for (std::uint32_t id = 2; id < 42; ++id) {
        if (std::find(at.begin(), at.end(), id) == at.end()) {
            rest.push_back(id);
        }
    }
    const auto place =
        [&](const Bytes& data, const std::vector<std::uint32_t>& ids, std::size_t entry) {
            for (std::size_t k = 0; k < ids.size(); ++k) {
                std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(k * Size),
                            std::min(Size, data.size() - k * Size),
                            image.begin() + static_cast<std::ptrdiff_t>((ids[k] + 1) * Size));
                put32(image,
                      fatEntryOffset(image, ids[k]),
                      k + 1 < ids.size() ? ids[k + 1] : 0xFFFFFFFE);
            }
            put32(image, 2 * Size + entry * 128 + 116, ids.front());
        };
    place(large, at, 1);
    place(filler, rest, 2);
    return image;
}

TEST(CompoundFile, TakingAStreamGivesItsBytesWhereverItsSectorsLie)
{
    const Bytes large = pattern(20 * 512, 5);
    const Bytes filler = pattern(20 * 512 - 7, 6);
    std::vector<std::uint32_t> consecutive, gapped, descending, interleaved;
    for (std::uint32_t k = 0; k < 20; ++k) {
        consecutive.push_back(2 + k);
        gapped.push_back(k < 10 ? 2 + k : 12 + k); // around Filler's first ten
        descending.push_back(41 - k);
        interleaved.push_back(2 + 2 * k);
    }
    for (const auto& at : {consecutive, gapped, descending, interleaved}) {
        const Bytes image = withLargeAt(large, filler, at);
        ASSERT_EQ(CompoundFile(image).readStream("Filler"), filler);
        EXPECT_EQ(CompoundFile(image).takeStream("Large"), large) << at[1];
        EXPECT_EQ(CompoundFile(image).takeStream("Filler"), filler) << at[1];
    }
    // Cut short in its last sector, the file's last: the missing bytes are zeros, as when read.
    Bytes cut = withLargeAt(large, filler, gapped);
    cut.resize((31 + 1) * 512 + 100);
    Bytes expected = large;
    std::fill(expected.begin() + 19 * 512 + 100, expected.end(), std::byte{0});
    EXPECT_EQ(CompoundFile(cut).readStream("Large"), expected);
    EXPECT_EQ(CompoundFile(cut).takeStream("Large"), expected);
}

} // namespace
} // namespace sheetfray::testing
