#include "engine/RunOutputs.h"

#include "support/Quote.h"

#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace sheetfray::engine {

namespace {

std::string withSuffix(std::string_view path, std::size_t extensionLength, std::uint32_t number)
{
    const std::size_t stemLength = path.size() - std::min(extensionLength, path.size());
    std::string candidate(path.substr(0, stemLength));
    candidate += " (";
    candidate += std::to_string(number);
    candidate += ')';
    candidate += path.substr(stemLength);
    return candidate;
}

} // namespace

void RunOutputs::addWorkbook(const std::string& path)
{
    struct stat info
    {};

    if (::stat(path.c_str(), &info) != 0) {
        return; // the split reports a workbook it cannot open
    }
    m_workbooks.emplace(info.st_dev, info.st_ino);
}

std::shared_ptr<const RunOutputs::Workbooks> RunOutputs::workbooksToShare() const
{
    Workbooks all = m_workbooks;
    if (m_sharedWorkbooks) {
        all.insert(m_sharedWorkbooks->begin(), m_sharedWorkbooks->end());
    }
    return std::make_shared<const Workbooks>(std::move(all));
}

void RunOutputs::shareWorkbooks(std::shared_ptr<const Workbooks> workbooks)
{
    m_sharedWorkbooks = std::move(workbooks);
}

bool RunOutputs::isWorkbook(std::uint64_t device, std::uint64_t inode) const
{
    return m_workbooks.contains({device, inode})
        || (m_sharedWorkbooks && m_sharedWorkbooks->contains({device, inode}));
}

bool RunOutputs::written(const std::string& path, const StillThere& stillThere) const
{
    if (!m_written.contains(path)) {
        return m_noClobber && stillThere && stillThere(path);
    }
    // A hash that two paths share is rare; a name whose file is not there is free either way,
    // but for a preview, which leaves its names unwritten.
    return m_preview || !stillThere || stillThere(path);
}

std::string
RunOutputs::claim(std::string path, std::size_t extensionLength, const StillThere& stillThere)
{
    if (!written(path, stillThere)) {
        m_written.insert(path);
        return path;
    }
    std::uint32_t& next = m_nextSuffix.try_emplace(NameRecord::hashOf(path), 2).first->second;
    std::string candidate = withSuffix(path, extensionLength, next);
    while (written(candidate, stillThere)) {
        candidate = withSuffix(path, extensionLength, ++next);
    }
    ++next;
    m_written.insert(candidate);
    if (m_renamed++ == 0) {
        m_firstRenamed = candidate.substr(candidate.rfind('/') + 1);
    }
    return candidate;
}

void RunOutputs::addCounts(const RunOutputs& other)
{
    m_filesWritten += other.m_filesWritten;
    m_filesFailed += other.m_filesFailed;
    if (m_renamed == 0) {
        m_firstRenamed = other.m_firstRenamed;
    }
    m_renamed += other.m_renamed;
}

void RunOutputs::beginWorkbook(std::string fileName)
{
    m_workbookName = std::move(fileName);
    m_reasons.clear();
}

bool RunOutputs::shouldReport(const std::string& reason)
{
    auto found = std::ranges::find(m_reasons, reason, &ReasonCount::reason);
    if (found == m_reasons.end()) {
        m_reasons.push_back({reason, 0});
        found = std::prev(m_reasons.end());
    }
    return ++found->failures <= ReportsPerReason;
}

void RunOutputs::endWorkbook()
{
    for (const ReasonCount& count : m_reasons) {
        if (count.failures > ReportsPerReason) {
            const std::uint64_t more = count.failures - ReportsPerReason;
            m_unreportedLines.push_back("and " + groupedNumber(more)
                                        + (more == 1 ? " more file of " : " more files of ")
                                        + quotedText(m_workbookName) + " failed: " + count.reason);
        }
    }
    m_reasons.clear();
}

std::vector<std::string> RunOutputs::takeUnreportedFailures()
{
    return std::exchange(m_unreportedLines, {});
}

void RunOutputs::warn(std::string message)
{
    m_warnings.push_back(std::move(message));
}

std::vector<std::string> RunOutputs::takeWarnings()
{
    return std::exchange(m_warnings, {});
}

void RunOutputs::markUnreadable(const std::string& path, std::string reason)
{
    if (std::ranges::none_of(
            m_unreadable, [&](const Unreadable& unreadable) { return unreadable.path == path; })) {
        m_unreadable.push_back({path, std::move(reason)});
    }
}

std::vector<RunOutputs::Unreadable> RunOutputs::takeUnreadable()
{
    return std::exchange(m_unreadable, {});
}

std::string groupedNumber(std::uint64_t number)
{
    const std::string digits = std::to_string(number);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

std::string renamedFilesNote(const RunOutputs& outputs)
{
    const std::uint64_t count = outputs.renamedFiles();
    if (count == 0) {
        return {};
    }
    return std::to_string(count) + (count == 1 ? " file" : " files") + " took a new name, such as "
        + quotedPath(outputs.firstRenamed())
        + (outputs.noClobber()
               ? ", because a file of that name was there already or written earlier in this run."
               : ", because an earlier file of this run had the same name.");
}

} // namespace sheetfray::engine
