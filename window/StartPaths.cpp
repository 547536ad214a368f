#include "window/StartPaths.h"

#include <filesystem>

namespace sheetfray::window {

std::vector<std::string> startPaths(const std::vector<std::string>& arguments,
                                    const std::string& currentFolder)
{
    std::vector<std::string> paths;
    bool onlyPaths = false;
    for (const std::string& argument : arguments) {
        if (!onlyPaths && argument == "--") {
            onlyPaths = true;
            continue;
        }
        if (argument.empty() || (!onlyPaths && argument.front() == '-')) {
            continue;
        }
        std::filesystem::path path(argument);
        if (path.is_relative()) {
            path = std::filesystem::path(currentFolder) / path;
        }
        paths.push_back(path.lexically_normal().string());
    }
    return paths;
}

} // namespace sheetfray::window
