// The main window: binds the controls of the layout to the choices, the file list and the run.
#pragma once

#include "engine/CodePage.h"
#include "engine/Host.h"
#include "engine/format/NumberFormat.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "window/BatchRun.h"
#include "window/DialogReporter.h"
#include "window/FileList.h"
#include "window/OptionState.h"
#include "window/Startup.h"

#include <QCursor>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace sheetfray::window {

class CaptionProgressBar;
class SettingsStore;

// What the window works with; all of it outlives the window.
struct WindowServices
{
    SettingsStore& store;
    platform::Dialogs& dialogs;
    platform::EventLoop& events;
    engine::HostFactory& hosts;
    const engine::CodePage& codePage;
    const engine::format::ValueLocale& locale;
    SampleRecorder& samples;
    std::string programFolder; // without a trailing "/"
    std::string desktopFolder; // without a trailing "/"
    std::function<bool()> isHostRunning;
    std::chrono::steady_clock::duration yieldInterval = std::chrono::milliseconds(20);
};

// The window pointer: normal, the hourglass (the window is Busy) or the hand over buttons.
enum class Pointer { Normal, Hourglass, Hand };

class Form1 final : public QWidget, public StartupWindow, public RunWindow, FileList::Listener
{
    Q_OBJECT

public:
    explicit Form1(WindowServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up, before the window is shown. False when the program must end instead.
    [[nodiscard]] bool Form_Load();

    // Appends a workbook path to the list, unchanged.
    void AddListEntry(std::string path);

    [[nodiscard]] const FileList& fileList() const { return m_files; }

    [[nodiscard]] OptionState& options() { return m_options; }

    [[nodiscard]] Pointer pointer() const { return m_pointer; }

    [[nodiscard]] double progressValue() const;

    // "Start Saving".
    void PushButton2_Click();
    // "Clear List": empties the list unless the window is Busy.
    void PushButton5_Click();
    // Double-click and Delete on the list: removes the selected entry unless Busy.
    void RemoveSelectedEntry();

    // StartupWindow
    void applySkinFile(const std::string& path) override;
    void loadHandPointer(const std::string& path) override;
    void setCaption(std::string_view caption) override;
    void setShortTitle(const std::string& title) override;
    void addListColumn(std::string_view header) override;
    void setListColumnWidth(int twips) override;

    // RunWindow
    bool isBusy() const override { return m_pointer == Pointer::Hourglass; }

    void setBusy(bool busy) override;
    void setProgressValue(double percent) override;
    void setProgressText(std::string_view text) override;

    const std::string& shortTitle() const override { return m_shortTitle; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void setTabOrder();
    void connectControls();
    void watchPointer();
    // Shows the choices as the option state holds them.
    void showOptions();
    void setPointer(Pointer pointer);
    [[nodiscard]] int pixels(int twips) const;

    void entryAppended(int position) override;
    void entryRemoved(int position) override;
    void entriesCleared() override;

    WindowServices m_services;
    DialogReporter m_reporter;
    OptionState m_options;
    FileList m_files;
    BatchRun m_run;

    double m_dotsPerInch = 96;
    std::map<std::string_view, QWidget*> m_controls;
    std::array<QRadioButton*, OptionCount> m_optionButtons{};
    QTreeWidget* m_list = nullptr;
    CaptionProgressBar* m_progress = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QWidget* m_frame5 = nullptr;
    // Hover targets: over these the pointer becomes the hand, over the others normal.
    std::vector<QWidget*> m_handTargets;
    std::vector<QWidget*> m_normalTargets;

    Pointer m_pointer = Pointer::Normal;
    QCursor m_handCursor{Qt::PointingHandCursor};
    std::string m_shortTitle{DisplayName};
};

} // namespace sheetfray::window
