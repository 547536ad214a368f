#include "engine/readers/Zip.h"

#include <gtest/gtest.h>

namespace sheetfray::engine::readers {
namespace {

// Package part names compare as ECMA-376 Part 2, 9.1.1 says: ASCII case folded,
// percent-escapes decoded; writers that use "\" (calamine issue 530) are met half-way.
TEST(Zip, NormalizesPartNamesAsPackagesCompareThem)
{
    const std::pair<const char*, const char*> cases[] = {
        {"xl/workbook.xml", "xl/workbook.xml"},
        {"/xl/workbook.xml", "xl/workbook.xml"},
        {"XL\\Worksheets\\Sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/worksheets/sheet%201.xml", "xl/worksheets/sheet 1.xml"},
        {"xl/%E6%9D%B1.xml", "xl/\xE6\x9D\xB1.xml"},
        {"xl/100%.xml", "xl/100%.xml"},
        {"xl/%zz.xml", "xl/%zz.xml"},
        {"[Content_Types].xml", "[content_types].xml"},
    };
    for (const auto& [name, normalized] : cases) {
        EXPECT_EQ(normalizePartName(name), normalized) << name;
    }
}

} // namespace
} // namespace sheetfray::engine::readers
