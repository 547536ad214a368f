// The sample workbooks beside the program: recorded at the first start, added to the list by
// "Load Sample/Example Files".
#pragma once

#include "filelist/FileList.h"
#include "platform/FileSystem.h"
#include "window/Startup.h"

#include <functional>
#include <string>

namespace sheetfray::window {

class SettingsStore;

// Records the files of the sample folder, scrambled, under Key::Snapshot.
class SampleFiles final : public SampleRecorder
{
public:
    // programFolder without a final "/"; yield runs once per character scrambled.
    SampleFiles(SettingsStore& store,
                platform::FileSystem& files,
                std::string programFolder,
                std::function<void()> yield = {});

    // The files of the sample folder ("*.*", hidden ones too, sorted by name) as full paths,
    // joined by "|" and scrambled; an absent or empty folder stores the empty text, so the
    // next start looks again.
    void rememberSampleFiles() override;

private:
    SettingsStore& m_store;
    platform::FileSystem& m_files;
    std::string m_programFolder;
    std::function<void()> m_yield;
};

// Appends each recorded sample that still exists and is not yet in the list (exact text),
// in recorded order. A store without a record adds nothing. yield runs once per character.
void loadSampleFiles(filelist::FileList& files,
                     SettingsStore& store,
                     const std::function<void()>& yield);

} // namespace sheetfray::window
