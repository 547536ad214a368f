#include "engine/OutputFile.h"

#include "engine/RunOutputs.h"
#include "support/Error.h"
#include "support/Quote.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <thread>
#include <utility>

namespace sheetfray::engine {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& reason)
{
    throw WriteError("cannot write " + quotedPath(path) + ": " + reason, reason);
}

[[noreturn]] void fail(const std::string& path, int error)
{
    fail(path, std::error_code(error, std::generic_category()).message());
}

// Closes the descriptor on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {}

    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    [[nodiscard]] int get() const { return m_fd; }

    // Hands the descriptor over to whoever closes it later.
    int release() { return std::exchange(m_fd, -1); }

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

// Whether the user may write the file: a file made read-only is kept, whoever asks. Root may
// write anything, so for root a file without any write permission counts as read-only.
bool userMayWrite(int folder, const std::string& name, const struct stat& info)
{
    if (::geteuid() == 0) {
        return (info.st_mode & 0222) != 0;
    }
    return ::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) == 0;
}

// Looks at the file that holds the name about to be replaced (name in folder, path for
// messages) and throws when it must stay: a workbook of the run, or a file the user cannot
// write. Returns the permission bits the new file takes over, or none: a symbolic link is
// replaced by the file, never followed, and gets the usual permissions; a name that is free
// again (the file went meanwhile) is simply taken.
std::optional<mode_t> checkReplaceable(int folder,
                                       const std::string& name,
                                       const std::string& path,
                                       const RunOutputs* outputs)
{
    struct stat info
    {};

    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        fail(path, errno);
    }
    if (outputs != nullptr && outputs->isWorkbook(info.st_dev, info.st_ino)) {
        fail(path, "it is one of the workbooks being split");
    }
    if (!S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    if (!userMayWrite(folder, name, info)) {
        fail(path, "the file is read-only");
    }
    return info.st_mode & 0777;
}

// The portable way: a hidden temporary, created exclusively so it never truncates a file
// someone else made, written, closed (a full disk shows in the write or, on file systems
// that allocate late, in the close), then renamed over the target.
void writeThroughNamedTemporary(std::string_view bytes,
                                const std::string& path,
                                const RunOutputs* outputs)
{
    const std::optional<mode_t> keptMode = checkReplaceable(AT_FDCWD, path, path, outputs);
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
    int error = 0;
    if (keptMode && ::fchmod(file.get(), *keptMode) != 0) {
        error = errno;
    }
    if (error == 0) {
        error = writeAll(file.get(), bytes);
    }
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

// Whether a file has been linked in one of the two ways: from then on an unnamed file can
// always get its name, and nothing needs keeping to write it again another way.
std::atomic<bool> linkingProven{false};

// Gives the unnamed file the name in folder (a descriptor, or AT_FDCWD for a name that is a
// path); the errno of the failure, or 0.
int linkUnnamed(int fd, int folder, const std::string& name)
{
    if (!emptyPathRefused.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) {
            linkingProven.store(true, std::memory_order_relaxed);
            return 0;
        }
        if (errno != ENOENT && errno != EPERM) {
            return errno;
        }
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return errno;
    }
    emptyPathRefused.store(true, std::memory_order_relaxed);
    linkingProven.store(true, std::memory_order_relaxed);
    return 0;
}

// A re-run into the same folder replaces every file, and some file systems have no unnamed
// files: after either, the next files go straight through a named temporary, which costs
// fewer calls there, before the unnamed way is tried again.
constexpr unsigned NamedStretch = 64;
std::atomic<unsigned> namedToGo{0};

// True when this file should go the named way; counts the stretch down.
bool takeNamedTurn()
{
    const unsigned toGo = namedToGo.load(std::memory_order_relaxed);
    if (toGo == 0) {
        return false;
    }
    namedToGo.store(toGo - 1, std::memory_order_relaxed);
    return true;
}

// An unnamed file in the folder of path, or -1 and errno. folder is a descriptor of that
// folder, or AT_FDCWD to find it by path.
int openUnnamed(int folder, const std::string& path)
{
    return folder == AT_FDCWD
        ? ::open(folderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)
        : ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// Whether openUnnamed failed because the file system has no unnamed files; the next files
// go the named way then.
bool noUnnamedFiles(int error)
{
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) {
        namedToGo.store(NamedStretch, std::memory_order_relaxed);
        return true;
    }
    return false;
}

// An unnamed file as openUnnamed makes it; -1 when the file system has none (nothing was
// created then). Other failures throw.
int createUnnamed(int folder, const std::string& path)
{
    const int fd = openUnnamed(folder, path);
    if (fd < 0 && !noUnnamedFiles(errno)) {
        fail(path, errno);
    }
    return fd;
}

// Names a complete unnamed file: name in folder (as for linkUnnamed), path for messages.
// False when there is no /proc to link through; the file has no name then.
bool nameUnnamed(
    int fd, int folder, const std::string& name, const std::string& path, const RunOutputs* outputs)
{
    const int error = linkUnnamed(fd, folder, name);
    if (error == 0) {
        return true;
    }
    if (error == ENOENT && ::access("/proc/self/fd", F_OK) != 0) {
        namedToGo.store(NamedStretch, std::memory_order_relaxed);
        return false; // the descriptor itself is refused, and there is no /proc either
    }
    if (error != EEXIST) {
        fail(path, error);
    }
    // The name is taken: unless that file must stay, the complete file takes over its
    // permissions, gets a temporary name, then replaces it.
    if (const std::optional<mode_t> keptMode = checkReplaceable(folder, name, path, outputs)) {
        if (::fchmod(fd, *keptMode) != 0) {
            fail(path, errno);
        }
    }
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        const std::string temporary = temporaryNameBeside(name, attempt);
        const int linkError = linkUnnamed(fd, folder, temporary);
        if (linkError == EEXIST) {
            continue;
        }
        if (linkError != 0) {
            fail(path, linkError);
        }
        if (::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
            const int renameError = errno;
            ::unlinkat(folder, temporary.c_str(), 0);
            fail(path, renameError);
        }
        namedToGo.store(NamedStretch, std::memory_order_relaxed);
        return true;
    }
    fail(path, EEXIST);
}

// The fast way on Linux: a file with no name until it is complete, linked in under its
// name. A process killed part way leaves nothing, not even a temporary. False when the
// file system has no unnamed files (or /proc is missing); nothing was written then.
bool writeUnnamed(std::string_view bytes, const std::string& path, const RunOutputs* outputs)
{
    const int fd = createUnnamed(AT_FDCWD, path);
    if (fd < 0) {
        return false;
    }
    Descriptor file(fd);
    if (const int error = writeAll(file.get(), bytes); error != 0) {
        fail(path, error); // the closed file has no name and is gone
    }
    return nameUnnamed(file.get(), AT_FDCWD, path, path, outputs);
}

#endif

// The system would take the name only up to the NUL and write some other file.
void refuseNul(const std::string& path)
{
    if (path.find('\0') != std::string::npos) {
        fail(path, "the name holds a NUL character");
    }
}

} // namespace

void WriteTextFile(std::string_view bytes, const std::string& path, const RunOutputs* outputs)
{
    refuseNul(path);
    // Never in place, even for a new name: a file created there would be visible, half
    // written, to a run killed or a disk filled before it is complete.
#ifdef O_TMPFILE
    if (!takeNamedTurn() && writeUnnamed(bytes, path, outputs)) {
        return;
    }
#endif
    writeThroughNamedTemporary(bytes, path, outputs);
}

namespace {

// A hidden temporary beside path, created exclusively; its descriptor, and its name in
// temporary. Throws WriteError.
int createNamedTemporary(const std::string& path, std::string& temporary)
{
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        temporary = temporaryNameBeside(path, attempt);
        const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return fd;
        }
        if (errno != EEXIST) {
            fail(path, errno);
        }
    }
    fail(path, EEXIST);
}

} // namespace

GrowingFile::GrowingFile(std::string path)
    : m_path(std::move(path))
{
    refuseNul(m_path);
#ifdef O_TMPFILE
    m_fd = ::open(folderOf(m_path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (m_fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        fail(m_path, errno);
    }
#endif
    if (m_fd < 0) {
        m_fd = createNamedTemporary(m_path, m_temporary);
    }
}

GrowingFile::~GrowingFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        if (!m_temporary.empty()) {
            ::unlink(m_temporary.c_str());
        }
    }
}

void GrowingFile::append(std::string_view bytes)
{
    if (m_fd < 0) {
        fail(m_path, EBADF);
    }
    if (const int error = writeAll(m_fd, bytes); error != 0) {
        fail(m_path, error);
    }
}

void GrowingFile::complete(const RunOutputs* outputs)
{
    if (m_fd < 0) {
        fail(m_path, EBADF);
    }
    Descriptor file(std::exchange(m_fd, -1));
    const std::string temporary = std::exchange(m_temporary, {});
    const auto removeTemporary = [&temporary] {
        if (!temporary.empty()) {
            ::unlink(temporary.c_str());
        }
    };
#ifdef O_TMPFILE
    if (temporary.empty()) {
        if (nameUnnamed(file.get(), AT_FDCWD, m_path, m_path, outputs)) {
            return;
        }
        // No /proc to name it through: its bytes go into a named temporary instead.
        std::string copy;
        Descriptor named(createNamedTemporary(m_path, copy));
        std::array<char, 1 << 16> buffer{};
        ssize_t got = 0;
        off_t at = 0;
        int error = 0;
        while (error == 0 && (got = ::pread(file.get(), buffer.data(), buffer.size(), at)) > 0) {
            error = writeAll(named.get(),
                             std::string_view(buffer.data(), static_cast<std::size_t>(got)));
            at += got;
        }
        if (error == 0 && got < 0) {
            error = errno;
        }
        if (const int closeError = named.close(); error == 0) {
            error = closeError;
        }
        if (error != 0) {
            ::unlink(copy.c_str());
            fail(m_path, error);
        }
        const std::optional<mode_t> keptMode = [&] {
            try {
                return checkReplaceable(AT_FDCWD, m_path, m_path, outputs);
            } catch (...) {
                ::unlink(copy.c_str());
                throw;
            }
        }();
        if (keptMode) {
            ::chmod(copy.c_str(), *keptMode);
        }
        renameInto(copy, m_path);
        return;
    }
#endif
    std::optional<mode_t> keptMode;
    try {
        keptMode = checkReplaceable(AT_FDCWD, m_path, m_path, outputs);
    } catch (...) {
        removeTemporary();
        throw;
    }
    int error = 0;
    if (keptMode && ::fchmod(file.get(), *keptMode) != 0) {
        error = errno;
    }
    if (const int closeError = file.close(); error == 0) {
        error = closeError;
    }
    if (error != 0) {
        removeTemporary();
        fail(m_path, error);
    }
    renameInto(temporary, m_path);
}

// Files written and waiting for their names, in a ring; the naming thread takes them in
// order. Each holds its unnamed file and the folder it was made in, so a folder renamed in
// the meantime gets the file, as it would have had the file been named at once.
struct OutputWriter::Queue
{
    static constexpr std::size_t Capacity = 64;
    // Each thread wakes the other only for a batch of work: a wake-up per file would cost as
    // much as the file on a memory file system.
    static constexpr std::size_t Batch = 16;

    struct Pending
    {
        int file = -1;
        int folder = -1;
        std::string name; // within the folder
        std::string path; // for messages, and for the named way when there is no /proc
        std::string bytes; // the same, until linking has been seen to work
        bool kept = false; // whether bytes holds them
        int tag = 0;
    };

    std::mutex mutex;
    std::condition_variable filled; // the naming thread waits here for files
    std::condition_variable named; // the writing thread waits here for room or the end
    std::array<Pending, Capacity> ring;
    std::size_t first = 0; // the next to name
    std::size_t count = 0;
    bool namerWaiting = false;
    bool writerWaiting = false;
    bool stopping = false;
    bool alone = false; // no naming thread could be started
    std::vector<Failure> failures;
    std::atomic<bool> failed{false};
    const RunOutputs* outputs = nullptr;
    std::thread namer;

    void run();
    void name(Pending& pending);
    void waitUntilEmpty();
};

namespace {

std::mutex writersMutex;
std::vector<OutputWriter::Queue*> writers;

// Files of every writer that wait for their names, for a signal handler to read.
std::atomic<int> waitingFiles{0};
static_assert(std::atomic<int>::is_always_lock_free);

} // namespace

std::optional<DiskSpace> SystemDiskSpace(const std::string& folder)
{
    struct statvfs info
    {};

    if (::statvfs(folder.c_str(), &info) != 0 || info.f_blocks == 0 || info.f_frsize == 0) {
        return std::nullopt;
    }
    const std::uint64_t block = info.f_frsize;
    return DiskSpace{block * info.f_bavail, block * info.f_blocks, block};
}

void OutputWriter::Queue::run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        while (count == 0 && !stopping) {
            namerWaiting = true;
            filled.wait(lock);
            namerWaiting = false;
        }
        if (count == 0) {
            return;
        }
        Pending& pending = ring[first];
        lock.unlock();
        name(pending);
        lock.lock();
        first = (first + 1) % Capacity;
        --count;
        waitingFiles.fetch_sub(1, std::memory_order_relaxed);
        if (writerWaiting && (count == 0 || count == Capacity - Batch)) {
            named.notify_one();
        }
    }
}

void OutputWriter::Queue::name(Pending& pending)
{
    std::string failure;
    std::string reason;
    try {
#ifdef O_TMPFILE
        if (!nameUnnamed(pending.file, pending.folder, pending.name, pending.path, outputs)) {
            if (!pending.kept) {
                fail(pending.path, ENOENT); // /proc went away during the run
            }
            writeThroughNamedTemporary(pending.bytes, pending.path, outputs);
        }
#endif
    } catch (const WriteError& e) {
        failure = e.what();
        reason = e.reason();
    } catch (const std::exception& e) {
        failure = e.what();
        reason = failure;
    }
    ::close(pending.file);
    ::close(pending.folder);
    pending.file = -1;
    pending.folder = -1;
    pending.bytes = std::string(); // a column's file may be a sizeable part of the sheet
    if (!failure.empty()) {
        const std::lock_guard lock(mutex);
        failures.push_back({pending.tag, std::move(failure), std::move(reason)});
        failed.store(true, std::memory_order_release);
    }
}

void OutputWriter::Queue::waitUntilEmpty()
{
    std::unique_lock lock(mutex);
    if (namerWaiting && count > 0) {
        filled.notify_one(); // fewer than a batch wait
    }
    while (count > 0) {
        writerWaiting = true;
        named.wait(lock);
        writerWaiting = false;
    }
}

OutputWriter::OutputWriter(const RunOutputs* outputs)
    : m_queue(std::make_unique<Queue>())
{
    m_queue->outputs = outputs;
    const std::lock_guard lock(writersMutex);
    writers.push_back(m_queue.get());
}

OutputWriter::~OutputWriter()
{
    {
        const std::lock_guard lock(writersMutex);
        std::erase(writers, m_queue.get());
    }
    if (m_queue->namer.joinable()) {
        {
            const std::lock_guard lock(m_queue->mutex);
            m_queue->stopping = true;
            m_queue->filled.notify_one();
        }
        m_queue->namer.join();
    }
}

void OutputWriter::write(std::string_view bytes, const std::string& path, int tag)
{
    refuseNul(path);
#ifdef O_TMPFILE
    // Until a link has worked, an unnamed file keeps a copy of its bytes to be written the
    // named way; a large file goes that way at once instead, and is never held twice.
    constexpr std::size_t MostKeptBytes = std::size_t{64} << 20;
    const bool tooLargeToKeep =
        bytes.size() > MostKeptBytes && !linkingProven.load(std::memory_order_relaxed);
    if (!tooLargeToKeep && !takeNamedTurn()) {
        Queue& queue = *m_queue;
        // Each waiting file holds two descriptors: where the process runs out of them, the
        // waiting files get their names and give theirs back before this one tries again.
        const auto withRoom = [&queue](auto open) {
            int fd = open();
            if (fd < 0 && (errno == EMFILE || errno == ENFILE)) {
                queue.waitUntilEmpty();
                fd = open();
            }
            return fd;
        };
        // The folder as it is now; the file is named in it even if it moves meanwhile.
        const std::string folderPath = folderOf(path);
        const int folderFd =
            withRoom([&] { return ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); });
        if (folderFd < 0) {
            fail(path, errno);
        }
        Descriptor folder(folderFd);
        const int fd = withRoom([&] { return openUnnamed(folder.get(), path); });
        if (fd < 0 && !noUnnamedFiles(errno)) {
            fail(path, errno);
        }
        if (fd >= 0) {
            Descriptor file(fd);
            if (const int error = writeAll(file.get(), bytes); error != 0) {
                fail(path, error); // the closed file has no name and is gone
            }
            if (!queue.namer.joinable() && !queue.alone) {
                try {
                    queue.namer = std::thread([&queue] { queue.run(); });
                } catch (const std::system_error&) {
                    queue.alone = true; // no thread to be had: each file is named at once
                }
            }
            std::unique_lock lock(queue.mutex);
            while (queue.count == Queue::Capacity) {
                queue.writerWaiting = true;
                queue.named.wait(lock);
                queue.writerWaiting = false;
            }
            Queue::Pending local;
            Queue::Pending& pending =
                queue.alone ? local : queue.ring[(queue.first + queue.count) % Queue::Capacity];
            pending.file = file.release();
            pending.folder = folder.release();
            const std::size_t slash = path.rfind('/');
            pending.name.assign(path, slash == std::string::npos ? 0 : slash + 1);
            pending.path = path;
            // A copy of every file would cost a column split as much again in memory.
            pending.kept = !linkingProven.load(std::memory_order_relaxed);
            if (pending.kept) {
                pending.bytes.assign(bytes);
            }
            pending.tag = tag;
            if (queue.alone) {
                lock.unlock();
                queue.name(local);
                return;
            }
            ++queue.count;
            waitingFiles.fetch_add(1, std::memory_order_relaxed);
            // A kept copy waits no longer than it must: once a link has worked no file is kept.
            if (queue.namerWaiting && (queue.count >= Queue::Batch || pending.kept)) {
                queue.filled.notify_one();
            }
            return;
        }
    }
    // The named way replaces files by name at once: every file before it gets its name first.
    finish();
#endif
    writeThroughNamedTemporary(bytes, path, m_queue->outputs);
}

bool OutputWriter::holds(const std::string& path)
{
    const std::lock_guard lock(m_queue->mutex);
    for (std::size_t i = 0; i < m_queue->count; ++i) {
        if (m_queue->ring[(m_queue->first + i) % Queue::Capacity].path == path) {
            return true;
        }
    }
    return false;
}

void OutputWriter::finish()
{
    m_queue->waitUntilEmpty();
}

std::vector<OutputWriter::Failure> OutputWriter::takeFailures()
{
    if (!m_queue->failed.load(std::memory_order_acquire)) {
        return {};
    }
    const std::lock_guard lock(m_queue->mutex);
    m_queue->failed.store(false, std::memory_order_relaxed);
    return std::exchange(m_queue->failures, {});
}

bool OutputWriter::anyWaiting() noexcept
{
    return waitingFiles.load(std::memory_order_relaxed) > 0;
}

void OutputWriter::finishAll() noexcept
{
    const std::lock_guard lock(writersMutex);
    for (Queue* queue : writers) {
        queue->waitUntilEmpty();
    }
}

} // namespace sheetfray::engine
