// The main window's start-up: skin, pointer, first-start work, titles, the list's
// column, the restored choices and the check that a host can be created.
#pragma once

#include "engine/Host.h"
#include "platform/Dialogs.h"
#include "support/ErrorReport.h"

#include <string>
#include <string_view>

namespace sheetfray::window {

class OptionState;
class SettingsStore;

// The window caption and the store's section name.
inline constexpr std::string_view DisplayName = "Sheetfray";

// The caption of every box without a title of its own: the display name cut at its last
// blank, again and again, until it is at most 40 characters long. The cut is made at least
// once; a name without a blank (as "Sheetfray") cannot be cut and stays whole.
[[nodiscard]] std::string shortTitleFor(std::string_view displayName);

// The first-start work for the sample files that ship beside the program. The samples'
// own code supplies the real recorder; it stores its record under Key::Snapshot.
class SampleRecorder
{
public:
    virtual ~SampleRecorder() = default;
    virtual void rememberSampleFiles() = 0;
};

// Records nothing and leaves Key::Snapshot empty, so a real recorder still runs at its
// first start.
class NoSampleRecorder final : public SampleRecorder
{
public:
    void rememberSampleFiles() override {}
};

// What start-up does to the window beyond its choices.
class StartupWindow
{
public:
    virtual ~StartupWindow() = default;

    // Gives the window the look of a Qt style sheet file. Throws Error when it cannot.
    virtual void applySkinFile(const std::string& path) = 0;
    // Makes the cursor file the picture of the hand pointer. Throws Error when it cannot.
    virtual void loadHandPointer(const std::string& path) = 0;
    // Caption and icon.
    virtual void setCaption(std::string_view caption) = 0;
    virtual void setShortTitle(const std::string& title) = 0;
    // The list's one column: header text, then its width in twips.
    virtual void addListColumn(std::string_view header) = 0;
    virtual void setListColumnWidth(int twips) = 0;
};

struct StartupServices
{
    Reporter& reporter;
    platform::Dialogs& dialogs;
    engine::HostFactory& hosts;
    SettingsStore& store;
    SampleRecorder& samples;
    std::string programFolder; // without a trailing "/"
    std::string desktopFolder; // without a trailing "/"
};

// Runs the start-up steps in order under the start-up trap; a failed step is reported
// and the next one runs. False when no host can be created: the message has been shown and
// the program must end without showing the window.
[[nodiscard]] bool
startUp(StartupWindow& window, OptionState& options, const StartupServices& services);

} // namespace sheetfray::window
