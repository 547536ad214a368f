// A bound on a child process's private memory, for tests that a large input is never held
// twice: what the process holds already, and a given number of bytes more.
#pragma once

#include <sys/resource.h>

#include <cstddef>
#include <fstream>
#include <string>

namespace sheetfray::testing {

// Private memory (heap and anonymous maps) as it is now, plus bound, becomes the most the
// process may take; an allocation beyond it fails with std::bad_alloc.
inline void limitPrivateMemory(std::size_t bound)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    std::size_t dataKb = 0;
    while (std::getline(status, line)) {
        if (line.starts_with("VmData:")) {
            dataKb = std::stoul(line.substr(7));
        }
    }
    const rlim_t limit = dataKb * 1024 + bound;
    const rlimit data{limit, limit};
    ::setrlimit(RLIMIT_DATA, &data);
}

} // namespace sheetfray::testing
