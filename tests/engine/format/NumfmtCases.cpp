#include "NumfmtCases.h"

#include <fstream>

namespace sheetfray::tests {

std::optional<std::filesystem::path> numfmtFolder()
{
    const std::filesystem::path folder =
        std::filesystem::path(SHEETFRAY_SHARED_TESTDATA) / "numfmt";
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        return std::nullopt;
    }
    return folder;
}

std::string decodeNumfmtField(std::string_view field)
{
    std::string decoded;
    decoded.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size()) {
            const char next = field[i + 1];
            const char replacement = next == 't' ? '\t'
                : next == 'n'                    ? '\n'
                : next == 'r'                    ? '\r'
                : next == '\\'                   ? '\\'
                                                 : 0;
            if (replacement != 0) {
                decoded += replacement;
                ++i;
                continue;
            }
        }
        decoded += field[i];
    }
    return decoded;
}

std::vector<std::vector<std::string>> readNumfmtTable(const std::filesystem::path& file)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (header) {
            header = false;
            continue;
        }
        std::vector<std::string> fields;
        std::size_t start = 0;
        while (true) {
            const std::size_t tab = line.find('\t', start);
            fields.push_back(decodeNumfmtField(std::string_view(line).substr(
                start, tab == std::string::npos ? tab : tab - start)));
            if (tab == std::string::npos) {
                break;
            }
            start = tab + 1;
        }
        rows.push_back(std::move(fields));
    }
    return rows;
}

std::vector<NumfmtCase> readNumfmtCases(const std::filesystem::path& file)
{
    std::vector<NumfmtCase> cases;
    int line = 1;
    for (auto& fields : readNumfmtTable(file)) {
        ++line;
        if (fields.size() < 4) {
            continue;
        }
        NumfmtCase entry;
        entry.line = line;
        entry.format = std::move(fields[0]);
        entry.value = std::move(fields[1]);
        entry.dateSystem = std::move(fields[2]);
        entry.expected = std::move(fields[3]);
        entry.extra.assign(std::make_move_iterator(fields.begin() + 4),
                           std::make_move_iterator(fields.end()));
        cases.push_back(std::move(entry));
    }
    return cases;
}

} // namespace sheetfray::tests
