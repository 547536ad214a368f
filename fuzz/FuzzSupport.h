// What the fuzz targets share: packing an input into a zip file and walking an opened workbook.
#pragma once

#include "engine/Host.h"
#include "engine/readers/Zip.h"
#include "support/Error.h"

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

    // The file's name, as the readers show it in messages.
    [[nodiscard]] std::string_view name() const { return m_name; }

private:
    std::string m_path;
    std::string m_name;
};

// Loads every sheet and asks every stored cell for its displayed text and value, so the
// readers' output reaches the renderer. Read errors are expected outcomes; anything else
// escapes to the fuzzer.
void walkWorkbook(engine::Workbook& workbook);

// One input of a zip-based target: written to the scratch file, opened as an archive and
// by open (which gives no workbook for an archive of another kind), then walked. A clear
// refusal is the expected outcome for most inputs.
template <typename Open>
void walkZipInput(ScratchZip& scratch, std::span<const std::uint8_t> input, Open open)
{
    scratch.write(input);
    try {
        engine::readers::ZipArchive archive(scratch.path(), std::string(scratch.name()));
        if (const auto workbook = open(std::move(archive))) {
            walkWorkbook(*workbook);
        }
    } catch (const ReadError&) {
    }
}

} // namespace sheetfray::fuzz
