// The least any program can take for a split: getting at the sheet data (inflating the
// worksheet parts of .xlsx, content.xml of .ods, reading the bytes of anything else), and
// writing the same files with the same bytes (open, write, close). Used by bench/run.py.
//
//   sheetfray-bench-floor inflate BOOK               reads the sheet data as above
//   sheetfray-bench-floor pack DIR MANIFEST          records the files of DIR
//   sheetfray-bench-floor write MANIFEST DIR         writes them again into DIR
//   sheetfray-bench-floor write-renamed MANIFEST DIR the same through a temporary beside each
//                                                    file, renamed into place
//   sheetfray-bench-floor write-linked MANIFEST DIR  the same through an unnamed temporary
//                                                    (O_TMPFILE) linked in under its name
//   sheetfray-bench-floor write-linked-aside MANIFEST DIR
//                                                    the same, each file linked in on a second
//                                                    thread while the next is written
#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

bool endsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Reads the whole file in large blocks: the least a reader of a compound file does.
int readBytes(const char* path)
{
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0) {
        std::perror(path);
        return 1;
    }
    std::vector<char> buffer(1 << 16);
    std::size_t total = 0;
    ssize_t n = 0;
    while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) {
        total += static_cast<std::size_t>(n);
    }
    ::close(fd);
    std::printf("%zu\n", total);
    return 0;
}

int inflate(const char* path)
{
    const bool ods = endsWith(path, ".ods");
    if (!ods && !endsWith(path, ".xlsx")) {
        return readBytes(path);
    }
    int error = 0;
    zip_t* archive = zip_open(path, ZIP_RDONLY, &error);
    if (!archive) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    std::vector<char> buffer(1 << 16);
    std::size_t total = 0;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        const bool wanted = name
            && (ods ? std::strcmp(name, "content.xml") == 0
                    : std::strncmp(name, "xl/worksheets/", 14) == 0);
        if (!wanted) {
            continue;
        }
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        zip_int64_t n = 0;
        while ((n = zip_fread(file, buffer.data(), buffer.size())) > 0) {
            total += static_cast<std::size_t>(n);
        }
        zip_fclose(file);
    }
    zip_close(archive);
    std::printf("%zu\n", total);
    return 0;
}

int pack(const char* folder, const char* manifest)
{
    std::ofstream out(manifest, std::ios::binary);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), {});
        const std::string name = entry.path().filename().string();
        out << name.size() << ' ' << name << content.size() << ' ' << content;
    }
    return 0;
}

// How a file reaches its name: created in place, or complete before it gets one (through a
// named temporary and a rename, or an unnamed one linked in: Linux's O_TMPFILE).
enum class Way { InPlace, Renamed, Linked, LinkedAside };

// The descriptor itself where the kernel allows it, else its link in /proc.
bool linkIn(int fd, const std::string& path)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) != 0
        && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        std::perror(path.c_str());
        return false;
    }
    return true;
}

using Files = std::vector<std::pair<std::string, std::string>>;

// Unnamed files written on this thread, linked in and closed in order on another; at most
// 64 wait.
int writeLinkedAside(const char* folder, const Files& files)
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int> waiting;
    bool done = false;
    bool failed = false;
    bool linkFailed = false; // the linker's own
    std::thread linker([&] {
        for (std::size_t i = 0; i < files.size(); ++i) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !waiting.empty() || done; });
            if (waiting.empty()) {
                return;
            }
            const int fd = waiting.front();
            waiting.pop_front();
            changed.notify_all();
            lock.unlock();
            linkFailed = !linkIn(fd, files[i].first) || linkFailed;
            ::close(fd);
        }
    });
    for (const auto& [path, content] : files) {
        const int fd = ::open(folder, O_WRONLY | O_TMPFILE, 0644);
        if (fd < 0
            || ::write(fd, content.data(), content.size())
                != static_cast<ssize_t>(content.size())) {
            std::perror(path.c_str());
            failed = true;
            break;
        }
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return waiting.size() < 64; });
        waiting.push_back(fd);
        changed.notify_all();
    }
    {
        const std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
    }
    linker.join();
    return failed || linkFailed ? 1 : 0;
}

int write(const char* manifest, const char* folder, Way way)
{
    std::ifstream in(manifest, std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), {});
    Files files;
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t space = all.find(' ', pos);
        const std::size_t nameLength = std::stoul(all.substr(pos, space - pos));
        std::string name = all.substr(space + 1, nameLength);
        pos = space + 1 + nameLength;
        space = all.find(' ', pos);
        const std::size_t length = std::stoul(all.substr(pos, space - pos));
        files.emplace_back(std::string(folder) + "/" + name, all.substr(space + 1, length));
        pos = space + 1 + length;
    }
    if (way == Way::LinkedAside) {
        return writeLinkedAside(folder, files);
    }
    const std::string temporary = std::string(folder) + "/.floor.tmp";
    for (const auto& [path, content] : files) {
        const int fd = way == Way::Linked ? ::open(folder, O_WRONLY | O_TMPFILE, 0644)
                                          : ::open((way == Way::Renamed ? temporary : path).c_str(),
                                                   O_WRONLY | O_CREAT | O_EXCL,
                                                   0644);
        if (fd < 0
            || ::write(fd, content.data(), content.size())
                != static_cast<ssize_t>(content.size())) {
            std::perror(path.c_str());
            return 1;
        }
        if (way == Way::Linked && !linkIn(fd, path)) {
            return 1;
        }
        ::close(fd);
        if (way == Way::Renamed && ::rename(temporary.c_str(), path.c_str()) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "inflate") == 0) {
        return inflate(argv[2]);
    }
    if (argc == 4 && std::strcmp(argv[1], "pack") == 0) {
        return pack(argv[2], argv[3]);
    }
    if (argc == 4 && std::strcmp(argv[1], "write") == 0) {
        return write(argv[2], argv[3], Way::InPlace);
    }
    if (argc == 4 && std::strcmp(argv[1], "write-renamed") == 0) {
        return write(argv[2], argv[3], Way::Renamed);
    }
    if (argc == 4 && std::strcmp(argv[1], "write-linked") == 0) {
        return write(argv[2], argv[3], Way::Linked);
    }
    if (argc == 4 && std::strcmp(argv[1], "write-linked-aside") == 0) {
        return write(argv[2], argv[3], Way::LinkedAside);
    }
    std::fputs("usage: sheetfray-bench-floor inflate BOOK | pack DIR MANIFEST"
               " | write MANIFEST DIR | write-renamed MANIFEST DIR | write-linked MANIFEST DIR"
               " | write-linked-aside MANIFEST DIR\n",
               stderr);
    return 2;
}
