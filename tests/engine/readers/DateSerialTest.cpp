#include "engine/readers/DateSerial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

namespace sheetfray::engine::readers {
namespace {

using format::DateSystem;

struct IsoCase
{
    std::string name;
    std::string text;
    DateSystem system;
    double serial; // NAN: not a date
};

// Names the case in a failure message.
void PrintTo(const IsoCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.text;
}

class IsoDates : public ::testing::TestWithParam<IsoCase>
{};

TEST_P(IsoDates, GiveTheSerialTheApplicationShows)
{
    const IsoCase& c = GetParam();
    const auto serial = isoDateSerial(c.text, c.system);
    if (std::isnan(c.serial)) {
        EXPECT_FALSE(serial.has_value()) << *serial;
    } else {
        ASSERT_TRUE(serial.has_value());
        EXPECT_NEAR(*serial, c.serial, 1e-9);
    }
}

// Serials as the spreadsheet application numbers the days (1900: 1 is 1 January 1900 and
// 60 the 29 February 1900 it counts; 1904: 0 is 1 January 1904).
INSTANTIATE_TEST_SUITE_P(
    DateSerial,
    IsoDates,
    ::testing::Values(
        IsoCase{"FirstDay", "1900-01-01", DateSystem::Date1900, 1},
        IsoCase{"BeforeTheInventedLeapDay", "1900-02-28", DateSystem::Date1900, 59},
        IsoCase{"AfterTheInventedLeapDay", "1900-03-01", DateSystem::Date1900, 61},
        IsoCase{"Recent", "2021-01-01", DateSystem::Date1900, 44197},
        IsoCase{"LeapDay2000", "2000-02-29", DateSystem::Date1900, 36585},
        IsoCase{"Epoch1904", "1904-01-01", DateSystem::Date1904, 0},
        IsoCase{"Recent1904", "2021-01-01", DateSystem::Date1904, 42735},
        IsoCase{
            "DateAndTime", "2021-01-01T10:10:10", DateSystem::Date1900, 44197 + 36610.0 / 86400},
        IsoCase{"FractionalSeconds",
                "2021-01-01T00:00:00.5",
                DateSystem::Date1900,
                44197 + 0.5 / 86400},
        IsoCase{"ZoneIgnored", "2021-01-01T12:00:00+02:00", DateSystem::Date1900, 44197.5},
        IsoCase{"Utc", "2021-01-01T12:00:00Z", DateSystem::Date1900, 44197.5},
        IsoCase{"TimeOnly", "10:10:10", DateSystem::Date1900, 36610.0 / 86400},
        IsoCase{"EndOfDay", "2021-01-01T24:00:00", DateSystem::Date1900, 44198},
        IsoCase{"NoSuchDay", "2021-02-29", DateSystem::Date1900, NAN},
        IsoCase{"NoSuchMonth", "2021-13-01", DateSystem::Date1900, NAN},
        IsoCase{"NoSuchHour", "2021-01-01T25:00:00", DateSystem::Date1900, NAN},
        IsoCase{"Trailing", "2021-01-01x", DateSystem::Date1900, NAN},
        IsoCase{"Number", "44197", DateSystem::Date1900, NAN},
        IsoCase{"Empty", "", DateSystem::Date1900, NAN}),
    [](const auto& row) { return row.param.name; });

} // namespace
} // namespace sheetfray::engine::readers
