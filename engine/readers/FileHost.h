// The host that opens workbook files from disk, each by its content rather than its name.
#pragma once

#include "engine/Host.h"

#include <filesystem>
#include <memory>

namespace sheetfray::engine::readers {

// Opens a workbook file, choosing the reader by the file's signature bytes. Throws ReadError
// naming the file and why it cannot be read (missing, not a spreadsheet, damaged,
// password-protected, a format not supported).
[[nodiscard]] std::unique_ptr<Workbook> openWorkbookFile(const std::filesystem::path& path);

class FileHost final : public Host
{
public:
    [[nodiscard]] std::unique_ptr<Workbook> open(const std::string& path) override;
};

// Creating a file host cannot fail: the readers are built in.
class FileHostFactory final : public HostFactory
{
public:
    [[nodiscard]] std::unique_ptr<Host> create() override;
};

} // namespace sheetfray::engine::readers
