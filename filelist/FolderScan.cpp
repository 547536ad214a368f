#include "filelist/FolderScan.h"

#include "engine/Naming.h"
#include "filelist/Wildcard.h"
#include "support/Text.h"
#include "support/Trap.h"

#include <algorithm>
#include <deque>
#include <set>

namespace sheetfray::filelist {

namespace {

using platform::FolderEntry;
using platform::FolderListing;

// Names in the order the users' file dialogs show them: without regard to case, then by
// their bytes, so the order does not depend on how a file system happens to store them.
bool nameBefore(const std::string& a, const std::string& b)
{
    const auto differs = std::ranges::mismatch(a, b, {}, asciiLower, asciiLower);
    if (differs.in1 != a.end() && differs.in2 != b.end()) {
        return asciiLower(*differs.in1) < asciiLower(*differs.in2);
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

void sortByName(std::vector<FolderEntry>& entries)
{
    std::ranges::sort(entries, nameBefore, &FolderEntry::name);
}

// True when the resolved path lies inside one of the trees (each root ends in "/").
bool isInsideTrees(const std::string& resolved, const std::vector<std::string>& roots)
{
    const std::string folder = withFinalSeparator(resolved);
    return std::ranges::any_of(roots,
                               [&](const std::string& root) { return folder.starts_with(root); });
}

class TreeWalk
{
public:
    TreeWalk(ScanServices& services, const FolderVisitor& visitor)
        : m_services(services)
        , m_visitor(visitor)
        , m_trap(Location::FolderScan, services.reporter)
    {}

    void run(const std::vector<std::string>& startFolders)
    {
        m_trap.step(100, [&] {
            for (const std::string& start : startFolders) {
                m_queue.push_back(withFinalSeparator(start));
                const std::string resolved = m_services.files.realPath(start);
                if (!resolved.empty()) {
                    m_roots.push_back(withFinalSeparator(resolved));
                }
            }
        });
        while (!m_queue.empty()) {
            if (m_services.yield && !m_services.yield()) {
                return;
            }
            const std::string folder = std::move(m_queue.front());
            m_queue.pop_front();
            visit(folder);
        }
    }

private:
    void visit(const std::string& folder)
    {
        FolderListing listing;
        bool keep = false;
        m_trap.step(102, [&] {
            if (folder.size() > m_services.files.pathLimit()) {
                // Only a start folder can be this long; it is kept, but nothing in it can
                // be opened.
                listing.entries.clear();
                keep = true;
                return;
            }
            listing = m_services.files.listFolder(folder);
            switch (listing.outcome) {
            case FolderListing::Outcome::Listed:
                // Reached before along another path (a link, a mount): scanned once only.
                keep = m_seen.insert(listing.id).second;
                break;
            case FolderListing::Outcome::AccessDenied:
            case FolderListing::Outcome::NotFound:
                keep = false;
                break;
            case FolderListing::Outcome::Failed:
                // Kept without entries, as a folder whose subfolders cannot be told.
                listing.entries.clear();
                keep = true;
                break;
            }
        });
        if (!keep) {
            return;
        }
        m_trap.step(104, [&] {
            sortByName(listing.entries);
            for (const FolderEntry& entry : listing.entries) {
                if (entry.kind == FolderEntry::Kind::Folder) {
                    enter(folder, entry);
                }
            }
        });
        m_visitor(folder, listing.entries);
    }

    // A start folder is entered whatever its name: the user picked it. Below it, a folder
    // whose name begins with "." is the system's or a program's (the Trash, caches,
    // version-control stores) and never what the user means to add.
    void enter(const std::string& parent, const FolderEntry& entry)
    {
        if (entry.name.starts_with('.') || hasBadChars(entry.name, m_services.codePage)) {
            return;
        }
        std::string child = parent + entry.name + "/";
        if (child.size() > m_services.files.pathLimit()) {
            return;
        }
        if (entry.isLink) {
            const std::string target = m_services.files.realPath(child);
            if (target.empty() || isInsideTrees(target, m_roots)) {
                return;
            }
        }
        m_queue.push_back(std::move(child));
    }

    ScanServices& m_services;
    const FolderVisitor& m_visitor;
    Trap m_trap;
    std::deque<std::string> m_queue;
    std::vector<std::string> m_roots;
    std::set<platform::FolderId> m_seen;
};

} // namespace

void scanFolderTree(const std::vector<std::string>& startFolders,
                    ScanServices& services,
                    const FolderVisitor& visitor)
{
    TreeWalk(services, visitor).run(startFolders);
}

void addSubfolders(std::vector<std::string>& folders, ScanServices& services)
{
    std::vector<std::string> found;
    scanFolderTree(folders, services, [&](const std::string& folder, const auto&) {
        found.push_back(folder);
    });
    folders = std::move(found);
}

bool hasBadChars(std::string_view name, const engine::CodePage& codePage)
{
    std::size_t pos = 0;
    while (pos < name.size()) {
        const std::size_t start = pos;
        const char32_t ch = engine::decodeUtf8(name, pos);
        // A malformed byte decodes as U+FFFD on its own; a real U+FFFD takes three bytes.
        if (ch == U'\uFFFD' && pos - start == 1) {
            return true;
        }
        const std::uint32_t code = codePage.codeOf(ch);
        if (code < 32 || (code >= 127 && code <= 159) || code == '?') {
            return true;
        }
    }
    return false;
}

std::vector<std::string>
filesInFolder(std::string_view folder, std::string_view pattern, platform::FileSystem& files)
{
    FolderListing listing = files.listFolder(withFinalSeparator(folder));
    if (listing.outcome != FolderListing::Outcome::Listed) {
        return {};
    }
    sortByName(listing.entries);
    std::vector<std::string> names;
    for (FolderEntry& entry : listing.entries) {
        if (entry.kind == FolderEntry::Kind::File && matchesPattern(entry.name, pattern)) {
            names.push_back(std::move(entry.name));
        }
    }
    return names;
}

std::vector<std::string> filesToAppend(const std::string& folder,
                                       const std::vector<FolderEntry>& entries,
                                       std::string_view pattern,
                                       platform::FileSystem& files)
{
    using namespace platform::Attribute;
    std::vector<std::string> paths;
    for (const FolderEntry& entry : entries) {
        // The listing has just told a file from a folder and from a link that leads
        // nowhere; that answers whether the file exists without asking again per file,
        // which would double the cost of a scan.
        if (entry.kind != FolderEntry::Kind::File || entry.name.starts_with('~')
            || !matchesPattern(entry.name, pattern)) {
            continue;
        }
        std::string path = engine::NormalizePath(folder + entry.name);
        // Only a hidden file that is no link can have exactly these attributes.
        if (entry.name.starts_with('.') && !entry.isLink) {
            const std::optional<std::uint32_t> bits = files.attributes(path);
            if (!bits || *bits == (Hidden | Archive)) {
                continue;
            }
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

std::string withFinalSeparator(std::string_view folder)
{
    std::string path(folder);
    if (!path.ends_with('/')) {
        path += '/';
    }
    return path;
}

} // namespace sheetfray::filelist
