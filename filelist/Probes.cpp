#include "filelist/Probes.h"

#include <filesystem>
#include <string>

namespace sheetfray::filelist {

namespace {

std::filesystem::path pathOf(std::string_view path)
{
    // Paths are UTF-8 text; on this platform the native form is the same bytes.
    return std::filesystem::path(std::string(path));
}

} // namespace

bool isFolder(std::string_view path) noexcept
{
    if (path.empty()) {
        return false;
    }
    try {
        std::error_code error;
        return std::filesystem::is_directory(pathOf(path), error);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool pathExists(std::string_view path) noexcept
{
    if (path.empty()) {
        return false;
    }
    try {
        std::error_code error;
        return std::filesystem::exists(pathOf(path), error);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool isExistingFile(std::string_view path) noexcept
{
    if (path.empty()) {
        return false;
    }
    try {
        std::error_code error;
        return std::filesystem::is_regular_file(pathOf(path), error);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace sheetfray::filelist
