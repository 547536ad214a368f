// The system's file system with faults put in by the test: folders that deny access, vanish,
// fail or throw when listed, files whose attributes are set, a shorter path limit, or a
// whole tree made up on the spot.
#pragma once

#include "platform/std/PosixFileSystem.h"
#include "support/ErrorReport.h"

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace sheetfray::testing {

class FakeFileSystem final : public platform::FileSystem
{
public:
    platform::PosixFileSystem disk;
    // Listing outcomes by folder path (ending in "/").
    std::map<std::string, platform::FolderListing::Outcome> listingFaults;
    // Folders whose listing throws, as an unexpected failure would.
    std::map<std::string, std::string> listingThrows;
    // Attributes by path; others come from the disk.
    std::map<std::string, std::uint32_t> attributeOverrides;
    // When set, listings come from here instead of the disk.
    std::function<platform::FolderListing(const std::string&)> madeUpListing;
    std::size_t limit = disk.pathLimit();

    platform::FolderListing listFolder(const std::string& folder) override
    {
        if (const auto thrown = listingThrows.find(folder); thrown != listingThrows.end()) {
            throw std::runtime_error(thrown->second);
        }
        if (const auto fault = listingFaults.find(folder); fault != listingFaults.end()) {
            return platform::FolderListing{fault->second, {}, {}};
        }
        return madeUpListing ? madeUpListing(folder) : disk.listFolder(folder);
    }

    std::string realPath(const std::string& path) override
    {
        return madeUpListing ? path : disk.realPath(path);
    }

    std::optional<std::uint32_t> attributes(const std::string& path) override
    {
        if (const auto set = attributeOverrides.find(path); set != attributeOverrides.end()) {
            return set->second;
        }
        return disk.attributes(path);
    }

    std::size_t pathLimit() const override { return limit; }
};

// Keeps every report instead of showing it.
class RecordingReporter final : public Reporter
{
public:
    std::vector<ErrorReport> reports;

    void report(const ErrorReport& report) override { reports.push_back(report); }
};

} // namespace sheetfray::testing
