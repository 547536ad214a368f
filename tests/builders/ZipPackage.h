// Writes a zip package from named parts, as the workbook builders of the tests need it.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace sheetfray::testing {

using PackageParts = std::vector<std::pair<std::string, std::string>>;

// Writes the parts in order, compressed, except the one named storedName (OpenDocument's
// "mimetype" must be stored). Throws std::runtime_error when the file cannot be written.
void writeZipPackage(const std::filesystem::path& path,
                     const PackageParts& parts,
                     const std::string& storedName = {});

} // namespace sheetfray::testing
