#include "window/Samples.h"

#include "filelist/FolderScan.h"
#include "filelist/Probes.h"
#include "filelist/SampleFiles.h"
#include "window/OptionState.h"
#include "window/SettingsStore.h"

namespace sheetfray::window {

SampleFiles::SampleFiles(SettingsStore& store,
                         platform::FileSystem& files,
                         std::string programFolder,
                         std::function<void()> yield)
    : m_store(store)
    , m_files(files)
    , m_programFolder(std::move(programFolder))
    , m_yield(std::move(yield))
{}

void SampleFiles::rememberSampleFiles()
{
    const std::vector<std::string> names =
        filelist::filesInFolder(filelist::sampleFolder(m_programFolder), "*.*", m_files);
    const std::string list = filelist::composeSampleList(m_programFolder, names);
    m_store.store(Key::Snapshot, filelist::scramble(list, m_yield));
}

void loadSampleFiles(filelist::FileList& files,
                     SettingsStore& store,
                     const std::function<void()>& yield)
{
    const std::string stored = store.read(Key::Snapshot, "");
    const std::string list = filelist::unscramble(stored, yield);
    for (const std::string& path : filelist::splitSampleList(list)) {
        if (filelist::pathExists(path) && !filelist::isInFileList(files, path)) {
            files.append(path);
        }
    }
}

} // namespace sheetfray::window
