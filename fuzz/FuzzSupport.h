// What the fuzz targets share: packing an input into a zip file and walking an opened workbook.
#pragma once

#include "engine/Host.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheetfray::fuzz {

// An input of a zip-based target is either a zip archive as it stands (it starts with "PK")
// or a package written as text, which lets the fuzzer change XML without breaking checksums:
//
//     @@ xl/workbook.xml
//     <workbook>...</workbook>
//     @@ xl/worksheets/sheet1.xml
//     ...
//
// Each "@@ " at the start of a line begins a part; its content runs to the next one.
[[nodiscard]] std::vector<std::pair<std::string, std::string>>
parsePackageText(std::string_view text);

// A file in a private temporary folder that holds the archive for one input; removed when
// the object goes. Throws std::runtime_error when the folder cannot be written.
class ScratchZip
{
public:
    explicit ScratchZip(std::string_view name);
    ~ScratchZip();
    ScratchZip(const ScratchZip&) = delete;
    ScratchZip& operator=(const ScratchZip&) = delete;

    // Writes the input (a zip as it stands, or package text packed into one) to path().
    void write(std::span<const std::uint8_t> input);

    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Loads every sheet and asks every stored cell for its displayed text and value, so the
// readers' output reaches the renderer. Read errors are expected outcomes; anything else
// escapes to the fuzzer.
void walkWorkbook(engine::Workbook& workbook);

} // namespace sheetfray::fuzz
