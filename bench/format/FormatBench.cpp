// Measures NumberFormat::render per cell for General, a percent, a date and a custom code,
// each against snprintf("%.15g") of the same numbers in the same run. Prints one line per
// format with nanoseconds per cell and the ratio; exits 1 when a ratio reaches the limit.
//
//     sheetfray_format_bench [cells] [rounds]
#include "engine/format/NumberFormat.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using sheetfray::engine::format::DateSystem;
using sheetfray::engine::format::NumberFormat;

constexpr double RatioLimit = 3.0;

// Keeps the optimiser from dropping the rendered text.
std::size_t g_sink = 0;

template <typename Render>
double nanosecondsPerCell(const std::vector<double>& values, int rounds, Render render)
{
    std::string out;
    out.reserve(256);
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (const double value : values) {
            out.clear();
            render(value, out);
            g_sink += out.size();
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, std::chrono::duration<double, std::nano>(elapsed).count());
    }
    return best / static_cast<double>(values.size());
}

void appendPrintf(double value, std::string& out)
{
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, "%.15g", value);
    out.append(buffer, static_cast<std::size_t>(length));
}

struct Case
{
    const char* name;
    const char* code;
    std::vector<double> values;
};

} // namespace

int main(int argc, char** argv)
{
    const std::size_t cells = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    std::mt19937_64 random(20240229);
    // Amounts with cents over several magnitudes, some negative: typical sheet numbers.
    std::uniform_real_distribution<double> exponent(-2.0, 7.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> amounts(cells);
    for (double& value : amounts) {
        value = std::round(std::pow(10.0, exponent(random)) * 100) / 100;
        if (unit(random) < 0.2) {
            value = -value;
        }
    }
    std::vector<double> ratios(cells);
    for (double& value : ratios) {
        value = unit(random) * 1.5 - 0.25;
    }
    // Date and time serials from 1990 to 2030, to the second.
    std::vector<double> serials(cells);
    for (double& value : serials) {
        value = 32874 + std::floor(unit(random) * 14610) + std::round(unit(random) * 86400) / 86400;
    }
    const Case cases[] = {
        {"General", "General", amounts},
        {"percent", "0.00%", ratios},
        {"date", "m/d/yyyy h:mm", serials},
        {"custom", "#,##0.00_);[Red]\\(#,##0.00\\)", amounts},
    };
    bool withinLimit = true;
    std::printf("%-8s %-32s %10s %10s %7s\n", "format", "code", "ns/cell", "printf", "ratio");
    for (const Case& c : cases) {
        const NumberFormat format = NumberFormat::compile(c.code);
        const double baseline = nanosecondsPerCell(c.values, rounds, appendPrintf);
        const double cost =
            nanosecondsPerCell(c.values, rounds, [&](double value, std::string& out) {
                format.render(value, DateSystem::Date1900, out);
            });
        const double ratio = cost / baseline;
        withinLimit = withinLimit && ratio < RatioLimit;
        std::printf("%-8s %-32s %10.1f %10.1f %7.2f\n", c.name, c.code, cost, baseline, ratio);
    }
    std::printf("(%zu cells, best of %d rounds; checksum %zu)\n", cells, rounds, g_sink);
    return withinLimit ? 0 : 1;
}
