// The main window: binds the controls of the layout to the choices, the file list and the run.
#pragma once

#include "engine/CodePage.h"
#include "engine/Host.h"
#include "engine/format/NumberFormat.h"
#include "filelist/EntryMove.h"
#include "filelist/FileList.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "support/Throttle.h"
#include "window/BatchRun.h"
#include "window/DialogReporter.h"
#include "window/FileAdder.h"
#include "window/OptionState.h"
#include "window/Startup.h"

#include <QCursor>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QDropEvent;
class QLineEdit;
class QMimeData;
class QMouseEvent;
class QRadioButton;
class QShortcut;
class QStyle;
class QTreeView;

namespace sheetfray::window {

class CaptionProgressBar;
class FileListModel;
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
    // Where folder scans look; nothing for the system's own file system.
    platform::FileSystem* fileSystem = nullptr;
};

// The window pointer: normal, the hourglass (the window is Busy) or the hand over buttons.
enum class Pointer { Normal, Hourglass, Hand };

class MainWindow final : public QWidget,
                         public StartupWindow,
                         public RunWindow,
                         filelist::FileList::Listener
{
    Q_OBJECT

public:
    explicit MainWindow(WindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up, before the window is shown. False when the program must end instead.
    [[nodiscard]] bool startUp();

    // Appends a workbook path to the list, unchanged.
    void addListEntry(std::string path);

    [[nodiscard]] const filelist::FileList& fileList() const { return m_files; }

    [[nodiscard]] OptionState& options() { return m_options; }

    [[nodiscard]] Pointer pointer() const { return m_pointer; }

    [[nodiscard]] double progressValue() const;

    // "Add Excel File(s)".
    void addFiles();
    // "Start Saving".
    void startSaving();
    // "Add All Excel Files In Folder".
    void addFolder();
    // "Clear List": empties the list unless the window is Busy.
    void clearList();
    // "Load Sample/Example Files": adds the recorded samples not yet listed, then offers to
    // show their folder.
    void loadSamples();
    // "...": picks the output folder with the folder browser.
    void chooseOutputFolder();
    // Double-click and Delete on the list: removes the selected entry unless Busy.
    void removeSelectedEntry();
    // Files and folders dropped on the list, as local paths in drop order.
    void addDropped(const std::vector<std::string>& paths);
    // Files and folders the program was started with: added as a drop adds them, once the
    // event loop runs, so the window shows first and stays responsive during a folder scan.
    void addStartPaths(std::vector<std::string> paths);

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

    void setRunning(bool running) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // Each caption in its laid-out font, made smaller where the font in use is too wide.
    void fitCaptions();
    // The window's and the custom separator box's colours from the desktop's palette.
    void applyColours();
    void setTabOrder();
    void connectControls();
    void watchPointer();
    // Return on buttons, the option groups' Alt letters, Ctrl+O and Ctrl+Q.
    void setUpKeyboard();
    // Shows the choices as the option state holds them.
    void showOptions();
    void setPointer(Pointer pointer);
    [[nodiscard]] int pixels(int twips) const;

    // The list's mouse and drop events; true when the event was handled here.
    void pressOnList(const QMouseEvent& event);
    void clickEntry(int position);
    void moveOverList(const QMouseEvent& event);
    void releaseOnList();
    [[nodiscard]] bool acceptsDrag(const QMimeData* dragged) const;
    void dropOnList(QDropEvent& event);
    // Scrolls the neighbour of the row under the pointer into view when the pointer is near
    // the list's top or bottom edge.
    void scrollAtEdges(int row, int y);
    // Handles events during long work, at most once per yield interval.
    void yieldToEvents();

    void entriesAppended(int first, int last) override;
    void entryRemoved(int position) override;
    void entriesCleared() override;
    void entryChanged(int position) override;

    WindowServices m_services;
    std::unique_ptr<platform::FileSystem> m_systemFiles;
    platform::FileSystem& m_fileSystem;
    DialogReporter m_reporter;
    OptionState m_options;
    filelist::FileList m_files;
    filelist::EntryMove m_move{m_files};
    BatchRun m_run;
    FileAdder m_adder;
    Throttle m_eventPace{m_services.yieldInterval};

    double m_dotsPerInch = 96;
    // Below 1 when the laid-out window is larger than the screen.
    double m_scale = 1;
    bool m_skinned = false;
    bool m_applyingColours = false;
    // The style of a window shrunk to the screen; owned by the window.
    QStyle* m_scaledStyle = nullptr;
    std::map<std::string_view, QWidget*> m_controls;
    std::array<QRadioButton*, OptionCount> m_optionButtons{};
    QTreeView* m_list = nullptr;
    FileListModel* m_model = nullptr;
    CaptionProgressBar* m_progress = nullptr;
    QLineEdit* m_outputFolderBox = nullptr;
    QLineEdit* m_customSeparatorBox = nullptr;
    QWidget* m_outputFolderFrame = nullptr;
    // Hover targets: over these the pointer becomes the hand, over the others normal.
    std::vector<QWidget*> m_handTargets;
    std::vector<QWidget*> m_normalTargets;

    // "Start Saving" as it reads while no run is under way.
    QString m_startCaption;
    QShortcut* m_stopKey = nullptr;
    // The user chose to close the window during a run: it closes when the run has stopped.
    bool m_closeAfterRun = false;

    Pointer m_pointer = Pointer::Normal;
    QCursor m_handCursor{Qt::PointingHandCursor};
    std::string m_shortTitle{DisplayName};
};

} // namespace sheetfray::window
