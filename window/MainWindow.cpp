#include "window/MainWindow.h"

#include "filelist/Probes.h"
#include "filelist/SampleFiles.h"
#include "platform/qt/CursorFile.h"
#include "platform/std/PosixFileSystem.h"
#include "support/Error.h"
#include "support/Trap.h"
#include "window/CaptionProgressBar.h"
#include "window/FileListModel.h"
#include "window/Layout.h"
#include "window/Legibility.h"
#include "window/Samples.h"
#include "window/SettingsStore.h"
#include "window/Text.h"
#include "window/Translate.h"
#include "window/art/ProgramArt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <ranges>

namespace sheetfray::window {

namespace {

constexpr double WindowFontPoints = 9;
constexpr std::string_view BrowseTitle = QT_TRANSLATE_NOOP("Sheetfray", "Please select folder:");
constexpr std::string_view SampleQuestion = QT_TRANSLATE_NOOP(
    "Sheetfray",
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?");
constexpr double ButtonFontPoints = 11.25;

QFont arialBold(double points)
{
    // Arial, or the font with its metrics that the system puts in its place.
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

// The captions of the buttons and the option groups with their Alt letter marked; each
// translation marks a letter of its own.
constexpr std::array<std::pair<std::string_view, std::string_view>, 10> Mnemonics{{
    {"PushButton1", QT_TRANSLATE_NOOP("Sheetfray", "&Add Excel File(s)")},
    {"PushButton4", QT_TRANSLATE_NOOP("Sheetfray", "Add All Excel Files In &Folder")},
    {"PushButton2", QT_TRANSLATE_NOOP("Sheetfray", "&Start Saving")},
    {"PushButton5", QT_TRANSLATE_NOOP("Sheetfray", "&Clear List")},
    {"PushButton6", QT_TRANSLATE_NOOP("Sheetfray", "&Load Sample/Example Files")},
    {"PushButton7", QT_TRANSLATE_NOOP("Sheetfray", "&...")}, // no letter to mark: Alt+.
    {"Frame1", QT_TRANSLATE_NOOP("Sheetfray", "&Row Or Column Option")},
    {"Frame3", QT_TRANSLATE_NOOP("Sheetfray", "&Text File Output Option")},
    {"Frame4", QT_TRANSLATE_NOOP("Sheetfray", "File&name Output Option")},
    {"Frame7", QT_TRANSLATE_NOOP("Sheetfray", "Sa&ve Option")},
}};

// What a screen reader says for the controls without a caption of their own (and for "...").
constexpr std::array<std::pair<std::string_view, std::string_view>, 6> Descriptions{{
    {"ListView1", QT_TRANSLATE_NOOP("Sheetfray", "Workbooks to split")},
    {"ProgressBar1", QT_TRANSLATE_NOOP("Sheetfray", "Progress")},
    {"Text1", QT_TRANSLATE_NOOP("Sheetfray", "Output folder")},
    {"Text2", QT_TRANSLATE_NOOP("Sheetfray", "Custom separator")},
    {"Frame5", QT_TRANSLATE_NOOP("Sheetfray", "Output folder")},
    {"PushButton7", QT_TRANSLATE_NOOP("Sheetfray", "Choose the output folder")},
}};

// The caption as shown, in the user's language: with its Alt letter where it has one.
QString withMnemonic(std::string_view name, std::string_view caption)
{
    for (const auto& [control, marked] : Mnemonics) {
        if (control == name) {
            return translated(marked);
        }
    }
    return caption.empty() ? QString() : translated(caption);
}

QString spokenName(std::string_view name, const QString& caption)
{
    for (const auto& [control, description] : Descriptions) {
        if (control == name) {
            return translated(description);
        }
    }
    return caption;
}

// The list of workbooks. Its auto-scroll is off for the dragging rule, so a move by the
// keyboard brings the new current entry into view itself; and it frames itself while it has
// the focus, which the window's style does not show for item views.
class EntryList final : public QTreeView
{
public:
    using QTreeView::QTreeView;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const QPersistentModelIndex before = currentIndex();
        QTreeView::keyPressEvent(event);
        if (currentIndex().isValid() && currentIndex() != before) {
            scrollTo(currentIndex());
        }
    }

    bool event(QEvent* event) override
    {
        const bool handled = QTreeView::event(event);
        if (event->type() == QEvent::Paint && hasFocus()) {
            // Only the frame is left to paint: the viewport covers the inside.
            QPainter painter(this);
            const int width = std::max(frameWidth(), 1);
            painter.setPen(QPen(palette().color(QPalette::Highlight),
                                width,
                                Qt::SolidLine,
                                Qt::SquareCap,
                                Qt::MiterJoin));
            painter.setBrush(Qt::NoBrush);
            const qreal inset = width / 2.0;
            painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
        }
        return handled;
    }

    void focusInEvent(QFocusEvent* event) override
    {
        QTreeView::focusInEvent(event);
        update();
    }

    void focusOutEvent(QFocusEvent* event) override
    {
        QTreeView::focusOutEvent(event);
        update();
    }
};

// A radio button of an exclusive group refuses to be cleared while it is the checked one;
// the option state decides, so the button follows it.
void showChecked(QRadioButton* button, bool checked)
{
    if (button->isChecked() == checked) {
        return;
    }
    if (!checked) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
        return;
    }
    button->setChecked(true);
}

OptionId optionOfButton(std::string_view name)
{
    for (std::size_t i = 0; i < OptionCount; ++i) {
        const auto id = static_cast<OptionId>(i);
        if (optionKey(id) == name) {
            return id;
        }
    }
    throw Error("no option is named " + std::string(name));
}

// The local path of a file URL as the system's bytes; a name that is not UTF-8 keeps its bytes.
std::optional<std::string> localPath(const QUrl& url)
{
    if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == QLatin1String("localhost"))) {
        return std::nullopt;
    }
    const QByteArray path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return std::string(path.constData(), static_cast<std::size_t>(path.size()));
}

// The dragged paths when the data is a list of local files, as file managers give it;
// nothing for anything else (text, links to web pages, files on other machines).
std::optional<std::vector<std::string>> droppedPaths(const QMimeData* data)
{
    if (!data || !data->hasUrls()) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    for (const QUrl& url : data->urls()) {
        std::optional<std::string> path = localPath(url);
        if (!path) {
            return std::nullopt;
        }
        paths.push_back(std::move(*path));
    }
    if (paths.empty()) {
        return std::nullopt;
    }
    return paths;
}

} // namespace

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QWidget(parent)
    , m_services(std::move(services))
    , m_systemFiles(m_services.fileSystem ? nullptr : std::make_unique<platform::PosixFileSystem>())
    , m_fileSystem(m_services.fileSystem ? *m_services.fileSystem : *m_systemFiles)
    , m_reporter(m_services.dialogs)
    , m_options(m_services.store)
    , m_run(*this,
            m_files,
            m_options,
            RunServices{m_services.dialogs,
                        m_services.events,
                        m_services.hosts,
                        m_reporter,
                        m_services.codePage,
                        m_services.locale,
                        m_services.isHostRunning,
                        m_services.yieldInterval})
    , m_adder(*this,
              m_files,
              AddServices{m_services.dialogs,
                          m_reporter,
                          m_services.store,
                          m_options,
                          m_fileSystem,
                          m_services.codePage,
                          m_services.events,
                          m_services.yieldInterval})
{
    setObjectName(toQString(WindowName));
    setWindowTitle(toQString(WindowName));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_dotsPerInch = screen->logicalDotsPerInch();
        // On a small screen everything shrinks by one factor, so the whole window shows.
        m_scale = screenScale(QSize(pixels(WindowWidthTwips), pixels(WindowHeightTwips)),
                              screen->availableGeometry());
    }
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(pixels(WindowWidthTwips), pixels(WindowHeightTwips));
    if (m_scale < 1) {
        m_scaledStyle = new ScaledStyle(m_scale);
        m_scaledStyle->setParent(this);
        setStyle(m_scaledStyle);
    }
    setFont(arialBold(WindowFontPoints * m_scale));
    setAutoFillBackground(true);

    buildControls();
    applyColours();
    setTabOrder();
    connectControls();
    watchPointer();
    setUpKeyboard();
    m_files.setListener(this);
    m_options.setListener([this] { showOptions(); });
    showOptions();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        const QPoint centred = available.center() - rect().center();
        move(std::max(centred.x(), available.left()), std::max(centred.y(), available.top()));
    }
}

MainWindow::~MainWindow()
{
    m_files.setListener(nullptr);
    m_options.setListener(nullptr);
    // The list view outlives the entries it shows (children go in QWidget's destructor,
    // after the members) and may still ask for them while it is hidden on the way out.
    m_list->setModel(nullptr);
}

bool MainWindow::startUp()
{
    return window::startUp(*this,
                           m_options,
                           StartupServices{m_reporter,
                                           m_services.dialogs,
                                           m_services.hosts,
                                           m_services.store,
                                           m_services.samples,
                                           m_services.programFolder,
                                           m_services.desktopFolder});
}

void MainWindow::addListEntry(std::string path)
{
    m_files.append(std::move(path));
}

double MainWindow::progressValue() const
{
    return m_progress->percent();
}

void MainWindow::addFiles()
{
    m_adder.addFiles();
}

void MainWindow::startSaving()
{
    // During a run the button reads "Stop".
    if (m_run.isRunning()) {
        m_run.requestStop();
        return;
    }
    m_run.startSaving();
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        close();
    }
}

void MainWindow::addFolder()
{
    m_adder.addFolder();
}

void MainWindow::clearList()
{
    Trap trap(Location::ClearList, m_reporter);
    bool busy = false;
    trap.step(100, [&] { busy = isBusy(); });
    if (!busy) {
        trap.step(102, [&] { m_files.clear(); });
    }
}

void MainWindow::loadSamples()
{
    Trap trap(Location::LoadSamples, m_reporter);
    // A failure while loading ends the handler before the question.
    if (!trap.step(100, [&] {
            loadSampleFiles(m_files, m_services.store, [this] { yieldToEvents(); });
        })) {
        return;
    }
    bool open = false;
    trap.step(102, [&] {
        open = m_services.dialogs.question(m_shortTitle, translatedText(SampleQuestion));
    });
    if (open) {
        trap.step(104, [&] {
            m_services.dialogs.openFolder(filelist::sampleFolder(m_services.programFolder) + "/");
        });
    }
}

void MainWindow::chooseOutputFolder()
{
    Trap trap(Location::ChooseOutputFolder, m_reporter);
    std::string start;
    trap.step(100, [&] { start = m_adder.startFolder(Key::LastFolderDot); });
    std::string folder;
    trap.step(102, [&] {
        folder = m_services.dialogs.browseForFolder(translatedText(BrowseTitle), start);
    });
    if (folder.empty()) {
        return;
    }
    trap.step(104, [&] { m_services.store.store(Key::LastFolderDot, folder); });
    // The box's change stores the output folder.
    trap.step(106,
              [&] { m_options.setOutputFolder(folder.ends_with('/') ? folder : folder + "/"); });
}

void MainWindow::removeSelectedEntry()
{
    if (isBusy() || m_files.count() == 0) {
        return;
    }
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return;
    }
    m_files.remove(selected.front().row() + 1);
}

void MainWindow::addDropped(const std::vector<std::string>& paths)
{
    m_adder.addDropped(paths);
}

void MainWindow::addStartPaths(std::vector<std::string> paths)
{
    if (paths.empty()) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, paths = std::move(paths)] { addDropped(paths); }, Qt::QueuedConnection);
}

void MainWindow::applySkinFile(const std::string& path)
{
    QFile file(toQString(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        throw Error("cannot read the skin \"" + path + "\": " + toStdString(file.errorString()));
    }
    const QString styleSheet = QString::fromUtf8(file.readAll());
    m_skinned = true;
    applyColours();
    setStyleSheet(styleSheet);
}

void MainWindow::loadHandPointer(const std::string& path)
{
    m_handCursor = platform::qt::loadCursorFile(toQString(path));
    if (m_pointer == Pointer::Hand) {
        setCursor(m_handCursor);
    }
}

void MainWindow::setCaption(std::string_view caption)
{
    setWindowTitle(toQString(caption));
    setWindowIcon(art::programIcon());
}

void MainWindow::setShortTitle(const std::string& title)
{
    m_shortTitle = title;
}

void MainWindow::addListColumn(std::string_view header)
{
    m_model->setHeader(toQString(header));
}

void MainWindow::setListColumnWidth(int twips)
{
    m_list->setColumnWidth(0, pixels(twips));
}

void MainWindow::setBusy(bool busy)
{
    setPointer(busy ? Pointer::Hourglass : Pointer::Normal);
}

void MainWindow::setProgressValue(double percent)
{
    m_progress->setPercent(percent);
}

void MainWindow::setProgressText(std::string_view text)
{
    m_progress->setCaption(toQString(text));
}

void MainWindow::setRunning(bool running)
{
    auto* button = static_cast<QPushButton*>(m_controls.at("PushButton2"));
    if (running) {
        m_startCaption = button->text();
        button->setText(translated(QT_TRANSLATE_NOOP("Sheetfray", "&Stop")));
    } else {
        button->setText(m_startCaption);
    }
    m_stopKey->setEnabled(running);
    // One run writes with one set of choices: the groups hold still until it ends, then
    // show again what the option state allows.
    for (const std::string_view frame : {"Frame1", "Frame3", "Frame4", "Frame7"}) {
        m_controls.at(frame)->setEnabled(!running);
    }
    if (!running) {
        showOptions();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing ends the program. During a run the user decides whether to stop it; the
    // window then closes once the file being written is complete.
    if (m_run.isRunning()) {
        event->ignore();
        if (m_closeAfterRun) {
            return;
        }
        if (m_services.dialogs.question(
                m_shortTitle,
                translatedText(QT_TRANSLATE_NOOP(
                    "Sheetfray", "Files are being saved. Stop saving and close the window?")))) {
            m_closeAfterRun = true;
            m_run.requestStop(false);
        }
        return;
    }
    if (m_adder.isScanning()) {
        m_adder.requestEnd();
    }
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove && !isBusy()) {
        auto* widget = static_cast<QWidget*>(watched);
        const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
        // A move that a child passed up is the child's own: only the container's bare
        // surface resets the pointer.
        if (widget->childAt(position) == nullptr) {
            if (std::ranges::find(m_handTargets, widget) != m_handTargets.end()) {
                setPointer(Pointer::Hand);
            } else if (std::ranges::find(m_normalTargets, widget) != m_normalTargets.end()) {
                setPointer(Pointer::Normal);
            }
        }
    }
    if (watched == m_list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        removeSelectedEntry();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        // The window is no dialog, so no button is a default one: Return presses the button
        // that has the focus.
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            button->click();
            return true;
        }
    }
    if (event->type() == QEvent::Shortcut) {
        // An option group's Alt letter goes to its chosen option, not to the last control
        // that had the focus inside the group.
        if (auto* group = qobject_cast<QGroupBox*>(watched)) {
            const auto options = group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
            const auto chosen = std::ranges::find_if(options, [](const QRadioButton* option) {
                return option->isChecked() && option->isEnabled();
            });
            if (chosen != options.end()) {
                (*chosen)->setFocus(Qt::ShortcutFocusReason);
                return true;
            }
        }
    }
    if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            removeSelectedEntry();
            return true;
        case QEvent::MouseButtonPress:
            pressOnList(*static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseMove:
            moveOverList(*static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseButtonRelease:
            releaseOnList();
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (acceptsDrag(drag->mimeData())) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop:
            dropOnList(*static_cast<QDropEvent*>(event));
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::buildControls()
{
    for (const ControlSpec& entry : controlTable()) {
        QWidget* container = entry.container.empty() ? this : m_controls.at(entry.container);
        // A text box's laid-out text is a placeholder the options replace, never shown.
        const QString caption = entry.kind == ControlKind::Text || entry.caption.empty()
            ? toQString(entry.caption)
            : translated(entry.caption);
        const QString marked = withMnemonic(entry.name, entry.caption);
        QWidget* control = nullptr;
        switch (entry.kind) {
        case ControlKind::Frame:
            control = new QGroupBox(marked, container);
            break;
        case ControlKind::Option: {
            auto* button = new QRadioButton(caption, container);
            m_optionButtons[optionIndex(optionOfButton(entry.name))] = button;
            control = button;
            break;
        }
        case ControlKind::Text: {
            auto* text = new QLineEdit(caption, container);
            control = text;
            break;
        }
        case ControlKind::List: {
            m_list = new EntryList(container);
            m_model = new FileListModel(m_files, m_list);
            m_list->setModel(m_model);
            m_list->setFont(arialBold(WindowFontPoints * m_scale));
            m_list->setRootIsDecorated(false);
            m_list->setItemsExpandable(false);
            m_list->setUniformRowHeights(true);
            m_list->setSelectionMode(QAbstractItemView::SingleSelection);
            m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
            // Entries move by the swap rule, not by dragging them out; the list scrolls by
            // that rule too, so a held button at the edge does not run away with the list.
            m_list->setDragDropMode(QAbstractItemView::NoDragDrop);
            m_list->setAutoScroll(false);
            m_list->viewport()->setAcceptDrops(true);
            // A widened column scrolls sideways rather than squeezing a long path.
            m_list->header()->setStretchLastSection(false);
            m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            m_list->setToolTip(translated(ListToolTip));
            control = m_list;
            break;
        }
        case ControlKind::Progress:
            m_progress = new CaptionProgressBar(container);
            m_progress->setCaption(caption);
            control = m_progress;
            break;
        case ControlKind::Button: {
            auto* button = new QPushButton(marked, container);
            button->setAutoDefault(false);
            m_handTargets.push_back(button);
            control = button;
            break;
        }
        }
        if (m_scaledStyle) {
            control->setStyle(m_scaledStyle);
        }
        control->setObjectName(toQString(entry.name));
        control->setAccessibleName(spokenName(entry.name, caption));
        control->setGeometry(
            pixels(entry.left), pixels(entry.top), pixels(entry.width), pixels(entry.height));
        m_controls.emplace(entry.name, control);
    }
    fitCaptions();
    m_outputFolderBox = static_cast<QLineEdit*>(m_controls.at("Text1"));
    m_customSeparatorBox = static_cast<QLineEdit*>(m_controls.at("Text2"));
    m_outputFolderFrame = m_controls.at("Frame5");
}

void MainWindow::fitCaptions()
{
    for (const ControlSpec& entry : controlTable()) {
        if (entry.kind == ControlKind::Text || entry.kind == ControlKind::List) {
            continue;
        }
        const double points =
            entry.kind == ControlKind::Button ? ButtonFontPoints : WindowFontPoints;
        fitCaption(*m_controls.at(entry.name), arialBold(points * m_scale));
    }
}

void MainWindow::applyColours()
{
    // White where the desktop is light, as laid out; on a dark desktop its own colours, so
    // its light text stays readable. A skin draws the window on the button face.
    if (m_applyingColours) {
        return;
    }
    m_applyingColours = true;
    const QPalette desktop = QApplication::palette();
    QPalette colours = whiteWhereLight(desktop, QPalette::Window);
    if (m_skinned) {
        colours.setColor(QPalette::Window, desktop.color(QPalette::Button));
    }
    setPalette(colours);
    m_customSeparatorBox->setPalette(whiteWhereLight(desktop, QPalette::Base));
    m_applyingColours = false;
}

void MainWindow::changeEvent(QEvent* event)
{
    // A new desktop palette reaches the window as a change of its own palette.
    if (event->type() == QEvent::PaletteChange && m_customSeparatorBox) {
        applyColours();
    }
    QWidget::changeEvent(event);
}

void MainWindow::setTabOrder()
{
    std::vector<const ControlSpec*> order;
    for (const ControlSpec& entry : controlTable()) {
        order.push_back(&entry);
    }
    std::ranges::sort(order, {}, &ControlSpec::tab);
    QWidget* previous = nullptr;
    for (const ControlSpec* entry : order) {
        // Frames and the progress bar take no keyboard focus.
        QWidget* control = m_controls.at(entry->name);
        if (control->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (previous) {
            QWidget::setTabOrder(previous, control);
        }
        previous = control;
    }
}

void MainWindow::connectControls()
{
    for (std::size_t i = 0; i < OptionCount; ++i) {
        const auto id = static_cast<OptionId>(i);
        // A click or an arrow key that checks the button selects the option; the state then
        // shows itself again, so the buttons the code checks find it selected already.
        connect(m_optionButtons[i], &QRadioButton::toggled, this, [this, id](bool checked) {
            if (checked && !m_options.isSelected(id)) {
                m_options.click(id);
            }
        });
    }
    connect(m_outputFolderBox, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_options.setOutputFolder(toStdString(text));
    });
    connect(m_customSeparatorBox, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_options.setCustomSeparator(toStdString(text));
    });
    const std::pair<std::string_view, void (MainWindow::*)()> handlers[] = {
        {"PushButton1", &MainWindow::addFiles},
        {"PushButton2", &MainWindow::startSaving},
        {"PushButton4", &MainWindow::addFolder},
        {"PushButton5", &MainWindow::clearList},
        {"PushButton6", &MainWindow::loadSamples},
        {"PushButton7", &MainWindow::chooseOutputFolder},
    };
    for (const auto& [name, handler] : handlers) {
        connect(
            static_cast<QPushButton*>(m_controls.at(name)), &QPushButton::clicked, this, handler);
    }
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    // Escape stops a run; it is free for other uses otherwise.
    m_stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopKey->setEnabled(false);
    connect(m_stopKey, &QShortcut::activated, this, [this] { m_run.requestStop(); });
}

void MainWindow::watchPointer()
{
    m_normalTargets = {this,
                       m_controls.at("Frame1"),
                       m_controls.at("Frame3"),
                       m_controls.at("Frame4"),
                       m_outputFolderFrame,
                       m_controls.at("Frame7"),
                       m_optionButtons[optionIndex(OptionId::RowsToText)],
                       m_optionButtons[optionIndex(OptionId::ColumnsToText)],
                       m_optionButtons[optionIndex(OptionId::SeparatorEnter)],
                       m_outputFolderBox,
                       m_list->viewport()};
    for (QWidget* target : m_normalTargets) {
        target->setMouseTracking(true);
        target->installEventFilter(this);
    }
    for (QWidget* target : m_handTargets) {
        target->setMouseTracking(true);
        target->installEventFilter(this);
    }
}

void MainWindow::setUpKeyboard()
{
    for (QWidget* control : m_controls | std::views::values) {
        if (qobject_cast<QPushButton*>(control) || qobject_cast<QGroupBox*>(control)) {
            control->installEventFilter(this);
        }
    }
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this, this, &MainWindow::addFiles);
    // Through close(), as the title bar's button, so a run or a scan ends as it would there.
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this, this, [this] { close(); });
}

void MainWindow::showOptions()
{
    for (std::size_t i = 0; i < OptionCount; ++i) {
        const auto id = static_cast<OptionId>(i);
        showChecked(m_optionButtons[i], m_options.isSelected(id));
        m_optionButtons[i]->setEnabled(m_options.isEnabled(id));
    }
    m_outputFolderFrame->setEnabled(m_options.isOutputFolderEnabled());
    // Setting the text a box already shows would move the user's cursor to its end.
    if (const QString folder = toQString(m_options.outputFolder());
        m_outputFolderBox->text() != folder) {
        m_outputFolderBox->setText(folder);
    }
    if (const QString separator = toQString(m_options.customSeparator());
        m_customSeparatorBox->text() != separator) {
        m_customSeparatorBox->setText(separator);
    }
}

void MainWindow::setPointer(Pointer pointer)
{
    if (pointer == m_pointer) {
        return;
    }
    m_pointer = pointer;
    switch (pointer) {
    case Pointer::Normal:
        unsetCursor();
        break;
    case Pointer::Hourglass:
        setCursor(Qt::WaitCursor);
        break;
    case Pointer::Hand:
        setCursor(m_handCursor);
        break;
    }
}

int MainWindow::pixels(int twips) const
{
    return twipsToPixels(twips, m_dotsPerInch * m_scale);
}

void MainWindow::pressOnList(const QMouseEvent& event)
{
    m_move.press();
    const QModelIndex index = m_list->indexAt(event.position().toPoint());
    if (index.isValid()) {
        clickEntry(index.row() + 1);
    }
}

void MainWindow::clickEntry(int position)
{
    // Read at every click, so a pointer file put beside the program is used at once; without
    // one (or with one that is no icon) the list keeps the default pointer.
    const std::optional<QCursor> pointer =
        platform::qt::loadIconCursor(toQString(m_services.programFolder + "/drag.ico"));
    if (pointer) {
        m_list->viewport()->setCursor(*pointer);
    }
    m_move.entryClicked(position);
}

void MainWindow::moveOverList(const QMouseEvent& event)
{
    if (!m_move.isDragging()) {
        return;
    }
    const QPoint position = event.position().toPoint();
    const QModelIndex under = m_list->indexAt(position);
    const std::optional<int> moved =
        m_move.moveOver(under.isValid() ? std::optional<int>(under.row() + 1) : std::nullopt);
    if (moved) {
        m_list->setCurrentIndex(m_model->index(*moved - 1));
        scrollAtEdges(*moved - 1, position.y());
    }
}

void MainWindow::releaseOnList()
{
    m_move.release();
    // The default pointer, which lets the window's hourglass show over the list.
    m_list->viewport()->unsetCursor();
}

bool MainWindow::acceptsDrag(const QMimeData* dragged) const
{
    return droppedPaths(dragged).has_value();
}

void MainWindow::dropOnList(QDropEvent& event)
{
    std::optional<std::vector<std::string>> paths = droppedPaths(event.mimeData());
    if (!paths) {
        event.ignore();
        return;
    }
    event.acceptProposedAction();
    // Scanned once the drop has been answered, so the file manager is not kept waiting for
    // a long scan.
    QMetaObject::invokeMethod(
        this, [this, dropped = std::move(*paths)] { addDropped(dropped); }, Qt::QueuedConnection);
}

void MainWindow::scrollAtEdges(int row, int y)
{
    // One row's height from either edge; the list's place on the screen does not matter.
    const int band = m_list->visualRect(m_model->index(row)).height();
    if (y < band && row > 0) {
        m_list->scrollTo(m_model->index(row - 1));
    } else if (y >= m_list->viewport()->height() - band && row + 1 < m_model->rowCount()) {
        m_list->scrollTo(m_model->index(row + 1));
    }
}

void MainWindow::yieldToEvents()
{
    if (m_eventPace.isDue()) {
        m_services.events.processPendingEvents();
        m_eventPace.restart();
    }
}

void MainWindow::entriesAppended(int first, int last)
{
    m_model->appended(first, last);
}

void MainWindow::entryRemoved(int position)
{
    m_move.entryRemoved(position);
    m_model->removed(position);
}

void MainWindow::entriesCleared()
{
    m_move.entriesCleared();
    m_model->cleared();
}

void MainWindow::entryChanged(int position)
{
    m_model->changed(position);
}

} // namespace sheetfray::window
