#include "engine/readers/CompoundFile.h"

#include "support/Error.h"
#include "tests/engine/formats/XlsBuilder.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace sheetfray::testing
