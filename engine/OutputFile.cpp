#include "engine/OutputFile.h"

#include "support/Error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
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

// Closes the descriptor on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    [[nodiscard]] int get() const { return m_fd; }

    // Closes now; the errno of a failed close, or 0.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// The errno of the first failure, or 0. A write cut short by a signal goes on.
int writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
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

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Puts a complete temporary in place of path; removes it when that fails.
void renameInto(const std::string& temporary, const std::string& path)
{
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail(path, error);
    }
}

// The portable way: a hidden temporary, created exclusively so it never truncates a file
// someone else made, written, closed (a full disk shows in the write or, on file systems
// that allocate late, in the close), then renamed over the target.
void writeThroughNamedTemporary(std::string_view bytes, const std::string& path)
{
    std::string temporary;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = temporaryNameBeside(path, attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            fail(path, errno);
        }
    }
    if (fd < 0) {
        fail(path, EEXIST);
    }
    Descriptor file(fd);
    int error = writeAll(file.get(), bytes);
    if (const int closeError = file.close(); error == 0) {
        error = closeError;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        fail(path, error);
    }
    renameInto(temporary, path);
}

#ifdef O_TMPFILE

// Whether linkat may name a descriptor itself (AT_EMPTY_PATH): older kernels allow that
// only to privileged processes, and /proc's link to the descriptor serves instead.
std::atomic<bool> emptyPathRefused{false};

// Gives the unnamed file a name; the errno of the failure, or 0.
int linkUnnamed(int fd, const std::string& name)
{
    if (!emptyPathRefused.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
            return 0;
        }
        if (errno != ENOENT && errno != EPERM) {
            return errno;
        }
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return errno;
    }
    emptyPathRefused.store(true, std::memory_order_relaxed);
    return 0;
}

// A re-run into the same folder replaces every file, and some file systems have no unnamed
// files: after either, the next files go straight through a named temporary, which costs
// fewer calls there, before the unnamed way is tried again.
constexpr unsigned NamedStretch = 64;
std::atomic<unsigned> namedToGo{0};

// The fast way on Linux: a file with no name until it is complete, linked in under its
// name. A process killed part way leaves nothing, not even a temporary. False when the
// file system has no unnamed files (or /proc is missing); nothing was written then.
bool writeUnnamed(std::string_view bytes, const std::string& path)
{
    const int fd = ::open(folderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            namedToGo.store(NamedStretch, std::memory_order_relaxed);
            return false;
        }
        fail(path, errno);
    }
    Descriptor file(fd);
    if (const int error = writeAll(file.get(), bytes); error != 0) {
        fail(path, error); // the closed file has no name and is gone
    }
    const int error = linkUnnamed(file.get(), path);
    if (error == 0) {
        return true;
    }
    if (error == ENOENT && ::access(folderOf(path).c_str(), F_OK) == 0) {
        namedToGo.store(NamedStretch, std::memory_order_relaxed);
        return false; // the folder is there: no /proc to link through
    }
    if (error != EEXIST) {
        fail(path, error);
    }
    // The name is taken: the complete file gets a temporary name, then replaces the older.
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        const std::string temporary = temporaryNameBeside(path, attempt);
        const int linkError = linkUnnamed(file.get(), temporary);
        if (linkError == EEXIST) {
            continue;
        }
        if (linkError != 0) {
            fail(path, linkError);
        }
        renameInto(temporary, path);
        namedToGo.store(NamedStretch, std::memory_order_relaxed);
        return true;
    }
    fail(path, EEXIST);
}

#endif

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
    // Never in place, even for a new name: a file created there would be visible, half
    // written, to a run killed or a disk filled before it is complete.
#ifdef O_TMPFILE
    if (const unsigned toGo = namedToGo.load(std::memory_order_relaxed); toGo > 0) {
        namedToGo.store(toGo - 1, std::memory_order_relaxed);
    } else if (writeUnnamed(bytes, path)) {
        return;
    }
#endif
    writeThroughNamedTemporary(bytes, path);
}

} // namespace sheetfray::engine
