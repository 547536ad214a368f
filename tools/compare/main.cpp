// sheetfray-compare: measures the readers against the reference outputs of a workbooks folder.
//
// The rule is the folder's README's ("Comparing a reader with the references"): only
// workbooks both references opened; sheets paired by name (by position where the name lists
// differ but have the same length); a cell is compared where at least one reference has a
// non-empty text; the references agree where their texts are equal, and our reader passes
// where its displayed text equals that agreed text.
//
//   sheetfray-compare [--mismatches N] WORKBOOKS_FOLDER
//
// The second form measures the displayed texts under a locale against those the office suite
// showed under it (its text export with "save cell contents as shown"): the numbers and dates
// of the workbook's first sheet, cell by cell. Cells listed in KNOWN (cell, tab, reason)
// differ for a known reason; any other difference, or a listed cell that now agrees, fails.
// Exits 77 when the locale is not installed.
//
//   sheetfray-compare --shown LOCALE WORKBOOK SHOWN_CSV [KNOWN]
#include "engine/readers/FileHost.h"
#include "platform/LocaleSetup.h"
#include "support/Error.h"
#include "support/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Position = std::pair<std::int32_t, std::int32_t>; // row, column from 1

struct ReferenceSheet
{
    std::string name;
    std::map<Position, std::string> texts; // non-empty texts only
};

struct Reference
{
    bool opened = false;
    std::vector<ReferenceSheet> sheets;
};

struct Counts
{
    int workbooks = 0;
    long compared = 0;
    long agreed = 0;
    long passed = 0;

    void add(const Counts& other)
    {
        workbooks += other.workbooks;
        compared += other.compared;
        agreed += other.agreed;
        passed += other.passed;
    }
};

// "C5" gives row 5, column 3; the top-left corner of "C5:F9" likewise.
std::optional<Position> topLeft(const std::string& range)
{
    std::int32_t column = 0;
    std::size_t i = 0;
    while (i < range.size() && range[i] >= 'A' && range[i] <= 'Z') {
        column = column * 26 + (range[i] - 'A' + 1);
        ++i;
    }
    std::int32_t row = 0;
    while (i < range.size() && range[i] >= '0' && range[i] <= '9') {
        row = row * 10 + (range[i] - '0');
        ++i;
    }
    if (row < 1 || column < 1) {
        return std::nullopt;
    }
    return Position{row, column};
}

Reference loadReference(const fs::path& path)
{
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot open " + path.string());
    }
    const Json document = Json::parse(in);
    Reference reference;
    reference.opened = document.value("opened", false);
    for (const Json& sheet : document.value("sheets", Json::array())) {
        ReferenceSheet out;
        out.name = sheet.value("name", "");
        const Json& range = sheet["range"];
        const auto corner = range.is_string() ? topLeft(range.get<std::string>()) : std::nullopt;
        if (corner) {
            const Json& rows = sheet["rows"];
            for (std::size_t i = 0; i < rows.size(); ++i) {
                for (std::size_t j = 0; j < rows[i].size(); ++j) {
                    const Json& cell = rows[i][j];
                    if (!cell.is_object()) {
                        continue;
                    }
                    const std::string text = cell.value("text", "");
                    if (!text.empty()) {
                        out.texts[{corner->first + static_cast<std::int32_t>(i),
                                   corner->second + static_cast<std::int32_t>(j)}] = text;
                    }
                }
            }
        }
        reference.sheets.push_back(std::move(out));
    }
    return reference;
}

// The format group a workbook is counted in.
std::string formatGroup(const fs::path& path)
{
    const std::string extension = sheetfray::asciiLowered(path.extension().string());
    if (extension == ".xlsx" || extension == ".xlsm" || extension == ".xltx"
        || extension == ".xltm") {
        return ".xlsx .xlsm .xltx .xltm";
    }
    return extension;
}

std::vector<std::string> namesOf(const Reference& reference)
{
    std::vector<std::string> names;
    for (const ReferenceSheet& sheet : reference.sheets) {
        names.push_back(sheet.name);
    }
    return names;
}

// Our side of one workbook: the displayed texts of each sheet we could read.
class OurWorkbook
{
public:
    explicit OurWorkbook(const fs::path& path)
    {
        try {
            m_workbook = sheetfray::engine::readers::openWorkbookFile(path);
        } catch (const sheetfray::ReadError& e) {
            error = e.what();
        }
    }

    // The sheet named name, or else the one at index (from 0); null when there is none or
    // it cannot be read.
    const sheetfray::engine::Sheet* sheet(const std::string& name, std::size_t index)
    {
        if (!m_workbook) {
            return nullptr;
        }
        std::int32_t found = 0;
        for (std::int32_t i = 1; i <= m_workbook->sheetCount(); ++i) {
            if (m_workbook->sheetName(i) == name) {
                found = i;
                break;
            }
        }
        if (found == 0 && static_cast<std::int32_t>(index) < m_workbook->sheetCount()) {
            found = static_cast<std::int32_t>(index) + 1;
        }
        if (found == 0) {
            return nullptr;
        }
        auto cached = m_sheets.find(found);
        if (cached == m_sheets.end()) {
            std::optional<sheetfray::engine::Sheet> loaded;
            try {
                loaded.emplace(m_workbook->loadSheet(found));
            } catch (const sheetfray::ReadError& e) {
                sheetErrors.push_back(e.what());
            }
            cached = m_sheets.emplace(found, std::move(loaded)).first;
        }
        return cached->second ? &*cached->second : nullptr;
    }

    std::string error;
    std::vector<std::string> sheetErrors;

private:
    std::unique_ptr<sheetfray::engine::Workbook> m_workbook;
    std::map<std::int32_t, std::optional<sheetfray::engine::Sheet>> m_sheets;
};

std::string cellName(const Position& position)
{
    std::string name;
    for (std::int32_t column = position.second; column > 0; column = (column - 1) / 26) {
        name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
    }
    return name + std::to_string(position.first);
}

// Counts one workbook; notes receives our errors and the first mismatches.
Counts compareWorkbook(const fs::path& path,
                       const Reference& libreoffice,
                       const Reference& sheetjs,
                       int mismatchesToShow,
                       std::vector<std::string>& notes)
{
    Counts counts;
    counts.workbooks = 1;
    OurWorkbook ours(path);
    if (!ours.error.empty()) {
        notes.push_back(ours.error);
    }

    // Pair the reference sheets: by name, or by position where the name lists differ but
    // have the same length (files without sheet names).
    const auto loNames = namesOf(libreoffice);
    const auto sjNames = namesOf(sheetjs);
    const bool byPosition = loNames != sjNames && loNames.size() == sjNames.size();

    struct Pair
    {
        const ReferenceSheet* lo = nullptr;
        const ReferenceSheet* sj = nullptr;
        std::size_t index = 0;
    };

    std::vector<Pair> pairs;
    for (std::size_t i = 0; i < libreoffice.sheets.size(); ++i) {
        Pair pair{&libreoffice.sheets[i], nullptr, i};
        if (byPosition) {
            pair.sj = &sheetjs.sheets[i];
        } else {
            for (const ReferenceSheet& sheet : sheetjs.sheets) {
                if (sheet.name == libreoffice.sheets[i].name) {
                    pair.sj = &sheet;
                }
            }
        }
        pairs.push_back(pair);
    }
    if (!byPosition) {
        for (std::size_t i = 0; i < sheetjs.sheets.size(); ++i) {
            if (std::find(loNames.begin(), loNames.end(), sheetjs.sheets[i].name)
                == loNames.end()) {
                pairs.push_back({nullptr, &sheetjs.sheets[i], i});
            }
        }
    }

    static const std::map<Position, std::string> none;
    int shown = 0;
    for (const Pair& pair : pairs) {
        const auto& loTexts = pair.lo ? pair.lo->texts : none;
        const auto& sjTexts = pair.sj ? pair.sj->texts : none;
        std::set<Position> positions;
        for (const auto& [position, text] : loTexts) {
            positions.insert(position);
        }
        for (const auto& [position, text] : sjTexts) {
            positions.insert(position);
        }
        if (positions.empty()) {
            continue;
        }
        const std::string& name = pair.sj ? pair.sj->name : pair.lo->name;
        const sheetfray::engine::Sheet* sheet = ours.sheet(name, pair.index);
        for (const Position& position : positions) {
            ++counts.compared;
            const auto lo = loTexts.find(position);
            const auto sj = sjTexts.find(position);
            const std::string loText = lo == loTexts.end() ? "" : lo->second;
            const std::string sjText = sj == sjTexts.end() ? "" : sj->second;
            if (loText != sjText) {
                continue;
            }
            ++counts.agreed;
            const std::string ourText = sheet ? sheet->text(position.first, position.second) : "";
            if (ourText == loText) {
                ++counts.passed;
            } else if (shown < mismatchesToShow) {
                ++shown;
                notes.push_back(name + '!' + cellName(position) + ": expected \"" + loText
                                + "\", ours \"" + ourText + "\"");
            }
        }
    }
    notes.insert(notes.end(), ours.sheetErrors.begin(), ours.sheetErrors.end());
    return counts;
}

std::string percent(long part, long whole)
{
    char buffer[32];
    std::snprintf(buffer,
                  sizeof buffer,
                  "%.1f%%",
                  whole == 0 ? 100.0
                             : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return buffer;
}

void printRow(const std::string& name, const Counts& counts)
{
    std::printf("%-58s %8ld %8ld %8ld  %s\n",
                name.c_str(),
                counts.compared,
                counts.agreed,
                counts.passed,
                percent(counts.passed, counts.agreed).c_str());
}

int run(const fs::path& folder, int mismatchesToShow)
{
    std::vector<fs::path> workbooks;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const fs::path expected =
            folder / "expected" / (entry.path().filename().string() + ".libreoffice.json");
        if (entry.is_regular_file() && fs::exists(expected)) {
            workbooks.push_back(entry.path());
        }
    }
    std::sort(workbooks.begin(), workbooks.end());
    if (workbooks.empty()) {
        std::cerr << "sheetfray-compare: no workbooks with references in " << folder << '\n';
        return 2;
    }

    std::printf("%-58s %8s %8s %8s\n", "workbook", "compared", "agreed", "ours");
    std::map<std::string, Counts> byFormat;
    for (const fs::path& path : workbooks) {
        const std::string name = path.filename().string();
        const Reference libreoffice =
            loadReference(folder / "expected" / (name + ".libreoffice.json"));
        const Reference sheetjs = loadReference(folder / "expected" / (name + ".sheetjs.json"));
        if (!libreoffice.opened || !sheetjs.opened) {
            std::printf("%-58s (not opened by both references)\n", name.c_str());
            continue;
        }
        std::vector<std::string> notes;
        const Counts counts = compareWorkbook(path, libreoffice, sheetjs, mismatchesToShow, notes);
        printRow(name, counts);
        for (const std::string& note : notes) {
            std::cout << "    " << note << '\n';
        }
        byFormat[formatGroup(path)].add(counts);
    }

    std::printf("\n%-44s %13s %8s %8s %8s\n", "format", "workbooks", "compared", "agreed", "ours");
    for (const auto& [format, counts] : byFormat) {
        std::printf("%-44s %13d %8ld %8ld %8ld  %s\n",
                    format.c_str(),
                    counts.workbooks,
                    counts.compared,
                    counts.agreed,
                    counts.passed,
                    percent(counts.passed, counts.agreed).c_str());
    }
    return 0;
}

// The fields of a CSV text (RFC 4180: commas, double quotes), row by row.
std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            rows.back().push_back(std::move(field));
            field.clear();
            rows.emplace_back();
        } else if (c != '\r') {
            field += c;
        }
    }
    if (!field.empty() || !rows.back().empty()) {
        rows.back().push_back(std::move(field));
    } else {
        rows.pop_back();
    }
    return rows;
}

std::string readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Cell name, tab, reason; lines starting with # are comments.
std::map<std::string, std::string> loadKnown(const fs::path& path)
{
    std::map<std::string, std::string> known;
    std::istringstream in(readWhole(path));
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos) {
            continue;
        }
        known[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return known;
}

int runShown(const std::string& locale,
             const fs::path& workbookPath,
             const fs::path& shownPath,
             const std::optional<fs::path>& knownPath)
{
    ::setenv("LC_ALL", locale.c_str(), 1);
    const sheetfray::platform::LocaleInfo info = sheetfray::platform::adoptSystemLocale();
    if (info.name != locale) {
        std::cerr << "sheetfray-compare: the locale " << locale << " is not installed\n";
        return 77;
    }
    // The display locale holds what the texts need; the report's own numbers stay plain.
    std::setlocale(LC_NUMERIC, "C");
    sheetfray::engine::format::setDisplayLocale(
        sheetfray::platform::textSetupFor(info).displayLocale);
    const auto shown = parseCsv(readWhole(shownPath));
    const auto known = knownPath ? loadKnown(*knownPath) : std::map<std::string, std::string>();
    const auto workbook = sheetfray::engine::readers::openWorkbookFile(workbookPath);
    const sheetfray::engine::Sheet sheet = workbook->loadSheet(1);
    long compared = 0;
    long passed = 0;
    bool failed = false;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = 0; j < shown[i].size(); ++j) {
            const Position position{static_cast<std::int32_t>(i) + 1,
                                    static_cast<std::int32_t>(j) + 1};
            const auto kind = sheet.value(position.first, position.second).kind;
            using Kind = sheetfray::engine::CellValue::Kind;
            if (kind != Kind::Number && kind != Kind::Date) {
                continue;
            }
            ++compared;
            const std::string ours = sheet.text(position.first, position.second);
            const std::string name = cellName(position);
            const auto reason = known.find(name);
            if (ours == shown[i][j]) {
                ++passed;
                if (reason != known.end()) {
                    failed = true;
                    std::cout << "    " << name << ": agrees now; drop it from the known list\n";
                }
                continue;
            }
            std::cout << "    " << name << ": shown \"" << shown[i][j] << "\", ours \"" << ours
                      << '"';
            if (reason != known.end()) {
                std::cout << " (known: " << reason->second << ')';
            } else {
                failed = true;
            }
            std::cout << '\n';
        }
    }
    std::printf("%s under %s: %ld cells compared, %ld agree  %s\n",
                workbookPath.filename().string().c_str(),
                locale.c_str(),
                compared,
                passed,
                percent(passed, compared).c_str());
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    int mismatches = 0;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if ((arguments.size() == 4 || arguments.size() == 5) && arguments[0] == "--shown") {
        try {
            return runShown(arguments[1],
                            arguments[2],
                            arguments[3],
                            arguments.size() == 5 ? std::optional<fs::path>(arguments[4])
                                                  : std::nullopt);
        } catch (const std::exception& e) {
            std::cerr << "sheetfray-compare: " << e.what() << '\n';
            return 3;
        }
    }
    if (arguments.size() == 3 && arguments[0] == "--mismatches") {
        mismatches = std::atoi(arguments[1].c_str());
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.size() != 1) {
        std::cerr << "usage: sheetfray-compare [--mismatches N] WORKBOOKS_FOLDER\n"
                     "       sheetfray-compare --shown LOCALE WORKBOOK SHOWN_CSV [KNOWN]\n";
        return 2;
    }
    try {
        return run(arguments[0], mismatches);
    } catch (const std::exception& e) {
        std::cerr << "sheetfray-compare: " << e.what() << '\n';
        return 3;
    }
}
