#include "engine/OutputFile.h"

#include "support/Error.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace sheetfray::engine {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& reason)
{
    throw WriteError("cannot write \"" + path + "\": " + reason);
}

[[noreturn]] void fail(const std::string& path, int error)
{
    fail(path, std::error_code(error, std::generic_category()).message());
}

// Opens a file that must not exist yet ("x": exclusive creation, C11), so a temporary never
// truncates a file someone else made. Unbuffered: the single fwrite is a single write call.
std::FILE* createExclusive(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (file) {
        std::setvbuf(file, nullptr, _IONBF, 0);
    }
    return file;
}

// Writes and closes; the errno of the first failure, or 0. A full disk shows in the write
// or, on file systems that allocate late, in the close: both are checked.
int writeAndClose(std::FILE* file, std::string_view bytes)
{
    errno = 0;
    int error = 0;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        error = errno != 0 ? errno : EIO;
    }
    errno = 0;
    if (std::fclose(file) != 0 && error == 0) {
        error = errno != 0 ? errno : EIO;
    }
    return error;
}

std::string temporaryNameBeside(const std::string& path, unsigned attempt)
{
    static std::mt19937 random{std::random_device{}()};
    std::string name = path.substr(0, path.rfind('/') + 1);
    name += TemporaryMarker;
    name += std::to_string(random());
    name += '-';
    name += std::to_string(attempt);
    name += ".tmp";
    return name;
}

} // namespace

void WriteTextFile(std::string_view bytes, const std::string& path)
{
    // The system would take the name only up to the NUL and write some other file.
    if (path.find('\0') != std::string::npos) {
        // Messages travel as C strings, which would end at the NUL too: it is shown as "\0".
        std::string shown;
        for (const char c : path) {
            shown += c == '\0' ? std::string_view("\\0") : std::string_view(&c, 1);
        }
        fail(shown, "the name holds a NUL character");
    }
    // Always through a temporary, even for a new name: a file created in place would be
    // visible, half written, to a run killed or a disk filled before it is complete. The
    // rename costs little beside creating the file (see docs/reliability.md).
    std::string temporary;
    std::FILE* file = nullptr;
    for (unsigned attempt = 0; attempt < 16 && !file; ++attempt) {
        temporary = temporaryNameBeside(path, attempt);
        file = createExclusive(temporary);
        if (!file && errno != EEXIST) {
            fail(path, errno);
        }
    }
    if (!file) {
        fail(path, EEXIST);
    }
    std::error_code ignored;
    if (const int error = writeAndClose(file, bytes); error != 0) {
        std::filesystem::remove(temporary, ignored);
        fail(path, error);
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        std::filesystem::remove(temporary, ignored);
        fail(path, renameError.message());
    }
}

} // namespace sheetfray::engine
