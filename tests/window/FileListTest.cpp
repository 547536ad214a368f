// Filling and editing the list through the window: the open-file dialog, Add All, drops,
// removal while Busy, reordering by dragging, the samples and the output-folder button.
#include "filelist/SampleFiles.h"
#include "platform/qt/QtDialogs.h"
#include "tests/window/WindowHarness.h"
#include "window/MainWindow.h"
#include "window/StartPaths.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

namespace sheetfray::testing {

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using platform::FileSelection;
using window::Pointer;

class ListFixture : public WindowHarness
{
public:
    fs::path in = dir.path() / "in";

    ListFixture() { fs::create_directories(in); }

    [[nodiscard]] QTreeView* list() const { return window->findChild<QTreeView*>("ListView1"); }

    [[nodiscard]] QModelIndex row(int r) const { return list()->model()->index(r, 0); }

    [[nodiscard]] std::vector<std::string> entries() const
    {
        std::vector<std::string> texts;
        for (int i = 1; i <= window->fileList().count(); ++i) {
            texts.push_back(window->fileList().text(i));
        }
        return texts;
    }

    // Paths below the input folder, as the list shows them.
    [[nodiscard]] std::vector<std::string> under(std::initializer_list<const char*> names) const
    {
        std::vector<std::string> paths;
        for (const char* name : names) {
            paths.push_back((in / name).string());
        }
        return paths;
    }

    void makeFiles(std::initializer_list<const char*> names) const
    {
        for (const char* name : names) {
            fs::create_directories((in / name).parent_path());
            writeFile(in / name, "x");
        }
    }

    [[nodiscard]] std::vector<ShownBox> boxes(ShownBox::Kind kind) const
    {
        std::vector<ShownBox> found;
        for (const ShownBox& box : dialogs.shown) {
            if (box.kind == kind) {
                found.push_back(box);
            }
        }
        return found;
    }

    [[nodiscard]] std::string stored(const char* key) const { return store->read(key, "<none>"); }

    // Sends a drag over the list, then (when it was accepted) the drop; true when accepted.
    bool dragAndDrop(QMimeData& data) const
    {
        QWidget* viewport = list()->viewport();
        QDragEnterEvent enter(
            QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        // The drop is scanned once the event has been answered.
        QCoreApplication::processEvents();
        return enter.isAccepted();
    }

    void mouse(QEvent::Type type, int r, Qt::MouseButtons held, QPoint offset = {}) const
    {
        QWidget* viewport = list()->viewport();
        const QPoint at = list()->visualRect(row(r)).center() + offset;
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(
            type, QPointF(at), QPointF(viewport->mapToGlobal(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
};

} // namespace

class FileListTest : public QObject
{
    Q_OBJECT

private slots:

    void addFilesTakesTheDialogsSelection()
    {
        ListFixture f;
        QVERIFY(f.start());
        f.dialogs.selections = {
            {FileSelection::Outcome::Chosen, "/data/in/One.xlsx", "/data/in"},
            {FileSelection::Outcome::Chosen, "/\0a.xlsx\0b.xls\0c.xlsm"s, "/"},
            {FileSelection::Outcome::Chosen, "/data/in\0d.xlsx\0d.xlsx"s, "/data/in"},
            {FileSelection::Outcome::Cancelled, "", ""},
            {FileSelection::Outcome::TooMany, "", ""},
        };
        for (int i = 0; i < 5; ++i) {
            clickButton(f.window.get(), "PushButton1");
        }
        const std::vector<std::string> expected{"/data/in/One.xlsx",
                                                "/a.xlsx",
                                                "/b.xls",
                                                "/c.xlsm",
                                                "/data/in/d.xlsx",
                                                "/data/in/d.xlsx"};
        QCOMPARE(f.entries(), expected);
        QCOMPARE(f.list()->model()->rowCount(), 6);
        QCOMPARE(f.list()->model()->data(f.row(3)).toString(), QStringLiteral("/c.xlsm"));
        const auto dialogs = f.boxes(ShownBox::Kind::OpenFiles);
        QCOMPARE(dialogs.size(), std::size_t(5));
        QCOMPARE(dialogs[0].title, std::string("Add File(s) - Hold Ctrl to select multiple files"));
        QCOMPARE(dialogs[0].text,
                 std::string("Spreadsheets (*.xlsx *.xlsm *.xltx *.xltm *.xls *.ods *.fods *.csv "
                             "*.tsv)|*.xlsx;*.xlsm;*.xltx;*.xltm;*.xls;*.ods;*.fods;*.csv;*.tsv|"
                             "Excel Files (*.xl*)|*.xl*|All Files (*)|*|"));
        // Only a selection that did not fit shows a box, a plain one, and adds nothing.
        QCOMPARE(f.dialogs.shown.size(), std::size_t(6));
        const ShownBox& tooMany = f.dialogs.shown.back();
        QCOMPARE(tooMany.kind, ShownBox::Kind::Message);
        QCOMPARE(tooMany.title, std::string("Sheetfray"));
        QCOMPARE(tooMany.text,
                 std::string("You've selected too many files to add.\r\rPlease try adding via "
                             "the \"Add All\" button."));
    }

    void addAllTakesTheTypedExtensionAndRemembersItAndTheFolder()
    {
        ListFixture f;
        f.makeFiles({"a.xlsx",
                     "B.XLSX",
                     "notes.txt",
                     "table.csv",
                     "~$a.xlsx",
                     ".draft.xlsx",
                     "sub/c.xls",
                     "sub/deeper/d.xlsm",
                     "sub/e.txt",
                     ".git/f.xlsx",
                     "sub/.cache/g.xlsx"});
        QVERIFY(f.start());
        const std::string folder = f.in.string();
        // The stored extension is offered first ("xl*" at the first start).
        f.dialogs.chosenFolders = {folder, folder};
        clickButton(f.window.get(), "PushButton4");
        QCOMPARE(f.entries(), f.under({"a.xlsx", "B.XLSX", "sub/c.xls", "sub/deeper/d.xlsm"}));
        QCOMPARE(f.stored("Extension"), std::string("xl*"));
        QCOMPARE(f.stored("LastFolder"), folder);
        const auto prompts = f.boxes(ShownBox::Kind::Input);
        QCOMPARE(prompts[0].title, std::string("Sheetfray"));
        QCOMPARE(prompts[0].text,
                 std::string("Enter file extension to load:\r\r(* for all files, txt for all txt "
                             "files, doc for all doc files, etc.)"));
        const auto browsers = f.boxes(ShownBox::Kind::BrowseForFolder);
        QCOMPARE(browsers[0].title, std::string("Please select folder:"));

        f.window->clearList();
        f.dialogs.typed = {"txt"};
        clickButton(f.window.get(), "PushButton4");
        QCOMPARE(f.entries(), f.under({"notes.txt", "sub/e.txt"}));
        QCOMPARE(f.boxes(ShownBox::Kind::BrowseForFolder)[1].text, folder);

        // Cancelling the browser still keeps the extension; the next prompt offers it.
        f.dialogs.typed = {"csv"};
        clickButton(f.window.get(), "PushButton4");
        QCOMPARE(f.stored("Extension"), std::string("csv"));
        f.window->clearList();
        f.dialogs.chosenFolders = {folder};
        clickButton(f.window.get(), "PushButton4");
        QCOMPARE(f.entries(), f.under({"table.csv"}));
        // An empty answer ends it at once.
        f.dialogs.typed = {""};
        clickButton(f.window.get(), "PushButton4");
        QCOMPARE(f.stored("Extension"), std::string("csv"));
        QCOMPARE(f.boxes(ShownBox::Kind::BrowseForFolder).size(), std::size_t(4));
    }

    void listCannotShrinkWhileAddAllScans()
    {
        ListFixture f;
        f.makeFiles({"a/1.xlsx", "b/2.xlsx", "c/3.xlsx"});
        QVERIFY(f.start());
        f.window->addListEntry("/first.xlsx");
        f.window->addListEntry("/second.xlsx");
        f.dialogs.chosenFolders = {f.in.string()};
        std::vector<int> countsWhileBusy;
        f.events.onEvents = [&] {
            if (f.window->pointer() != Pointer::Hourglass) {
                return;
            }
            clickButton(f.window.get(), "PushButton5");
            f.list()->setCurrentIndex(f.row(0));
            QTest::keyClick(f.list(), Qt::Key_Delete);
            QTest::mouseDClick(
                f.list()->viewport(), Qt::LeftButton, {}, f.list()->visualRect(f.row(1)).center());
            countsWhileBusy.push_back(f.window->fileList().count());
        };
        clickButton(f.window.get(), "PushButton4");
        f.events.onEvents = nullptr;
        // The scan yielded once per folder, and each folder's files were there at once.
        QCOMPARE(countsWhileBusy, (std::vector<int>{2, 2, 3, 4}));
        QCOMPARE(f.window->pointer(), Pointer::Normal);
        QCOMPARE(f.window->fileList().count(), 5);

        // Idle: a double-click removes the entry it selects; a duplicate stays.
        f.window->addListEntry("/first.xlsx");
        QTest::mouseDClick(
            f.list()->viewport(), Qt::LeftButton, {}, f.list()->visualRect(f.row(0)).center());
        QCOMPARE(f.window->fileList().count(), 5);
        QCOMPARE(f.window->fileList().text(5), std::string("/first.xlsx"));
        QTest::keyClick(f.list(), Qt::Key_Backspace);
        QCOMPARE(f.window->fileList().count(), 5);
        clickButton(f.window.get(), "PushButton5");
        QCOMPARE(f.list()->model()->rowCount(), 0);
        // On the empty list nothing happens and nothing is shown.
        QTest::keyClick(f.list(), Qt::Key_Delete);
        clickButton(f.window.get(), "PushButton5");
        QVERIFY(f.boxes(ShownBox::Kind::Warning).empty());
        QVERIFY(f.boxes(ShownBox::Kind::Message).empty());
    }

    void droppedFilesAndFoldersAreAppendedInDropOrder()
    {
        ListFixture f;
        f.makeFiles({"f1/x.xlsx", "f1/~$x.xlsx", "f1/sub/z.txt", "f2/w.ods", "~$alone.xlsx"});
        QVERIFY(f.start());
        std::vector<Pointer> pointers;
        f.events.onEvents = [&] { pointers.push_back(f.window->pointer()); };
        QMimeData files;
        files.setUrls(
            {QUrl::fromLocalFile(QString::fromStdString((f.in / "f1").string())),
             QUrl::fromLocalFile(QString::fromStdString((f.in / "~$alone.xlsx").string())),
             QUrl::fromLocalFile(QString::fromStdString((f.in / "f2").string())),
             QUrl::fromLocalFile(QString::fromStdString((f.in / "gone.xlsx").string()))});
        QVERIFY(f.dragAndDrop(files));
        // A dropped folder takes every type but no "~" names; a file dropped alone is taken
        // as it is; a path that has gone is skipped.
        QCOMPARE(f.entries(), f.under({"f1/x.xlsx", "f1/sub/z.txt", "~$alone.xlsx", "f2/w.ods"}));
        QVERIFY(!pointers.empty());
        QVERIFY(std::ranges::none_of(pointers, [](Pointer p) { return p == Pointer::Hourglass; }));

        // Anything but local files is refused.
        QMimeData text;
        text.setText(QString::fromStdString((f.in / "f2").string()));
        QVERIFY(!f.dragAndDrop(text));
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("https://example.com/book.xlsx"))});
        QVERIFY(!f.dragAndDrop(web));
        QCOMPARE(f.window->fileList().count(), 4);
    }

    void startPathsJoinTheListAsADropWould()
    {
        // Options are passed over up to "--"; relative paths are taken from the current folder.
        QCOMPARE(
            window::startPaths(
                {"-geometry", "book.xlsx", "./f1/../f2/", "", "--", "-dash.xlsx", "/data//x.ods"},
                "/home/user"),
            (std::vector<std::string>{
                "/home/user/book.xlsx", "/home/user/f2/", "/home/user/-dash.xlsx", "/data/x.ods"}));

        ListFixture f;
        f.makeFiles({"f1/x.xlsx", "f1/sub/z.txt", "book.xls"});
        QVERIFY(f.start());
        f.window->addStartPaths(window::startPaths({"book.xls", "f1", "gone.xlsx"}, f.in.string()));
        // Added once the event loop runs, after the window has shown; a folder gives its whole
        // tree and a missing path is passed over, as in a drop.
        QCOMPARE(f.window->fileList().count(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(f.entries(), f.under({"book.xls", "f1/x.xlsx", "f1/sub/z.txt"}));
    }

    void droppedNamesKeepTheirBytes()
    {
        ListFixture f;
        const std::string latin1 = "caf\xe9.xlsx"; // not UTF-8
        writeFile(f.in / latin1, "x");
        QVERIFY(f.start());
        QMimeData files;
        QUrl url(QStringLiteral("file://")
                 + QString::fromLatin1(
                     QUrl::toPercentEncoding(QString::fromStdString(f.in.string() + "/"), "/"))
                 + QStringLiteral("caf%E9.xlsx"));
        files.setUrls({url});
        QVERIFY(f.dragAndDrop(files));
        QCOMPARE(f.entries(), std::vector<std::string>{(f.in / latin1).string()});
    }

    void draggingAnEntrySwapsItWithTheEntriesItPasses()
    {
        ListFixture f;
        QVERIFY(f.start());
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(QString::fromStdString(f.programFolder() + "/drag.ico"), "ICO"));
        for (const char* path : {"/a", "/b", "/c", "/d", "/e"}) {
            f.window->addListEntry(path);
        }
        f.mouse(QEvent::MouseButtonPress, 0, Qt::LeftButton);
        QCOMPARE(f.list()->viewport()->cursor().shape(), Qt::BitmapCursor);
        f.mouse(QEvent::MouseMove, 1, Qt::LeftButton);
        QCOMPARE(f.entries(), (std::vector<std::string>{"/b", "/a", "/c", "/d", "/e"}));
        QCOMPARE(f.list()->currentIndex().row(), 1);
        // A jump over two entries exchanges just the two.
        f.mouse(QEvent::MouseMove, 4, Qt::LeftButton);
        QCOMPARE(f.entries(), (std::vector<std::string>{"/b", "/e", "/c", "/d", "/a"}));
        f.mouse(QEvent::MouseButtonRelease, 4, Qt::NoButton);
        QVERIFY(!f.list()->viewport()->testAttribute(Qt::WA_SetCursor));
        // Without a held button the pointer moves nothing.
        f.mouse(QEvent::MouseMove, 0, Qt::NoButton);
        QCOMPARE(f.entries(), (std::vector<std::string>{"/b", "/e", "/c", "/d", "/a"}));
        QCOMPARE(f.list()->model()->data(f.row(4)).toString(), QStringLiteral("/a"));
    }

    void draggingNearAnEdgeScrollsTheList()
    {
        ListFixture f;
        QVERIFY(f.start());
        for (int i = 0; i < 60; ++i) {
            f.window->addListEntry("/book" + std::to_string(i) + ".xlsx");
        }
        QScrollBar* scroll = f.list()->verticalScrollBar();
        QCOMPARE(scroll->value(), 0);
        const int height = f.list()->visualRect(f.row(0)).height();
        const int lastVisible = f.list()->viewport()->height() / height - 1;
        f.mouse(QEvent::MouseButtonPress, 0, Qt::LeftButton);
        f.mouse(QEvent::MouseMove, lastVisible / 2, Qt::LeftButton);
        QCOMPARE(scroll->value(), 0);
        f.mouse(QEvent::MouseMove, lastVisible, Qt::LeftButton);
        QVERIFY(scroll->value() > 0);
        // Back at the top edge, the entry above comes into view.
        const int top = f.list()->indexAt(QPoint(5, 2)).row();
        f.mouse(QEvent::MouseMove, top, Qt::LeftButton);
        QCOMPARE(f.list()->indexAt(QPoint(5, 2)).row(), top - 1);
    }

    void keyboardMovesKeepTheCurrentEntryInView()
    {
        ListFixture f;
        QVERIFY(f.start());
        for (int i = 0; i < 60; ++i) {
            f.window->addListEntry("/book" + std::to_string(i) + ".xlsx");
        }
        f.window->show();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTreeView* list = f.list();
        list->setFocus();
        list->setCurrentIndex(f.row(0));
        const auto inView = [&] {
            return list->viewport()->rect().contains(list->visualRect(list->currentIndex()));
        };
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->currentIndex().row(), 59);
        QVERIFY(inView());
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(list->currentIndex().row(), 0);
        QVERIFY(inView());
        QTest::keyClick(list, Qt::Key_PageDown);
        QTest::keyClick(list, Qt::Key_PageDown);
        QVERIFY(list->currentIndex().row() > 20);
        QVERIFY(inView());
        const int row = list->indexAt(QPoint(5, list->viewport()->height() - 2)).row();
        list->setCurrentIndex(f.row(row));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex().row(), row + 1);
        QVERIFY(inView());
        QTest::keyClick(list, Qt::Key_End);
        QTest::keyClick(list, Qt::Key_PageUp);
        QVERIFY(inView());

        // The list's frame shows whether it has the focus.
        const QColor highlight = list->palette().color(QPalette::Highlight);
        QCOMPARE(list->grab().toImage().pixelColor(0, list->height() / 2), highlight);
        f.window->findChild<QWidget*>("PushButton1")->setFocus();
        QVERIFY(list->grab().toImage().pixelColor(0, list->height() / 2) != highlight);
    }

    void aShownWindowWithEntriesIsDestroyedCleanly()
    {
        // Its list view outlives the entries and lays itself out once more as it goes;
        // under the sanitizers a read of the freed list shows here.
        ListFixture f;
        QVERIFY(f.start());
        f.window->show();
        QApplication::processEvents();
        // Entries added and not yet laid out, as at the end of a run.
        for (int i = 0; i < 20; ++i) {
            f.window->addListEntry("/book" + std::to_string(i) + ".xlsx");
        }
        f.window.reset();
        QVERIFY(!f.window);
    }

    void samplesAreRecordedOnceAndAddedOnce()
    {
        ListFixture f;
        const fs::path samples = fs::path(f.programFolder()) / "Samples";
        fs::create_directories(samples);
        for (const char* name : {"Sales.xlsx", "Customers.xlsx", "Inventory.xls"}) {
            writeFile(samples / name, "x");
        }
        QVERIFY(f.start());
        // Recorded at the first start, not readable as a list of paths.
        const std::string snapshot = f.stored("Snapshot");
        QVERIFY(!snapshot.empty());
        QVERIFY(snapshot.find("Samples") == std::string::npos);
        const std::string sample = samples.string() + "/";
        const std::vector<std::string> all{
            sample + "Customers.xlsx", sample + "Inventory.xls", sample + "Sales.xlsx"};
        QCOMPARE(filelist::unscramble(snapshot, {}), all[0] + "|" + all[1] + "|" + all[2]);

        f.dialogs.answers = {true, false};
        clickButton(f.window.get(), "PushButton6");
        QCOMPARE(f.entries(), all);
        const auto questions = f.boxes(ShownBox::Kind::Question);
        QCOMPARE(questions.size(), std::size_t(1));
        QCOMPARE(questions[0].title, std::string("Sheetfray"));
        QCOMPARE(questions[0].text,
                 std::string("Would you like this software to open the folder where these "
                             "sample files are stored (so that you can view them before "
                             "working with them)?"));
        QCOMPARE(f.dialogs.openedFolders, std::vector<std::string>{sample});
        // A second press adds nothing and asks again; No leaves the folder closed.
        clickButton(f.window.get(), "PushButton6");
        QCOMPARE(f.entries(), all);
        QCOMPARE(f.boxes(ShownBox::Kind::Question).size(), std::size_t(2));
        QCOMPARE(f.dialogs.openedFolders.size(), std::size_t(1));

        // A later start keeps the record; a sample deleted since is not added.
        fs::remove(samples / "Sales.xlsx");
        writeFile(samples / "New.xlsx", "x");
        QVERIFY(f.start());
        QCOMPARE(f.stored("Snapshot"), snapshot);
        clickButton(f.window.get(), "PushButton6");
        QCOMPARE(f.entries(), (std::vector<std::string>{all[0], all[1]}));
        QVERIFY(f.boxes(ShownBox::Kind::Warning).empty());
    }

    void withoutSamplesTheButtonStillAsks()
    {
        ListFixture f;
        QVERIFY(f.start());
        QCOMPARE(f.stored("Snapshot"), std::string());
        f.dialogs.answers = {true};
        clickButton(f.window.get(), "PushButton6");
        QCOMPARE(f.window->fileList().count(), 0);
        QCOMPARE(f.dialogs.openedFolders,
                 std::vector<std::string>{f.programFolder() + "/Samples/"});
    }

    void openFileDialogGivesFolderAndNames()
    {
        ListFixture f;
        f.makeFiles({"a.xlsx", "b.xlsx", "c.txt"});
        fs::create_directories(f.in / "start");
        platform::qt::QtDialogs dialogs;
        QStringList filters;
        QString filter;
        QString opened;
        const ModalAnswerer<QFileDialog> answerer([&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            filter = dialog->selectedNameFilter();
            opened = dialog->directory().absolutePath();
            dialog->setDirectory(QString::fromStdString(f.in.string()));
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("\"b.xlsx\" \"a.xlsx\""));
            static_cast<QDialog*>(dialog)->accept();
        });
        const FileSelection chosen = dialogs.openFiles(
            "Add", "Excel Files (*.xl*)|*.xl*|All Files (*)|*|", (f.in / "start").string());
        QCOMPARE(filters, (QStringList{"Excel Files (*.xl*)", "All Files (*)"}));
        QCOMPARE(filter, QStringLiteral("Excel Files (*.xl*)"));
        QCOMPARE(opened, QString::fromStdString((f.in / "start").string()));
        QCOMPARE(chosen.outcome, FileSelection::Outcome::Chosen);
        QCOMPARE(chosen.result, f.in.string() + "\0b.xlsx\0a.xlsx"s);
        QCOMPARE(chosen.folder, f.in.string());
        // Names from more than one folder are given from the root folder.
        QCOMPARE(platform::qt::selectionResult({"/x/a.xlsx", "/y/b.xlsx"}),
                 "/\0x/a.xlsx\0y/b.xlsx"s);
        QCOMPARE(platform::qt::nameFilters("Books|*.xls;*.ods|All (*)|*|"),
                 (QStringList{"Books (*.xls *.ods)", "All (*)"}));
    }

    void dialogsOpenWhereTheUserLastWas()
    {
        ListFixture f;
        QVERIFY(f.start());
        const std::string desktop = f.desktop() + "/";
        const std::string added = (f.in / "added").string();
        const std::string output = (f.in / "out").string();
        fs::create_directories(added);
        fs::create_directories(output);
        // Nothing remembered yet: each opens on the output folder (the desktop at first).
        f.dialogs.selections = {{FileSelection::Outcome::Chosen, added + "/a.xlsx", added}};
        f.dialogs.chosenFolders = {output, f.in.string()};
        clickButton(f.window.get(), "PushButton1");
        clickButton(f.window.get(), "PushButton7");
        QCOMPARE(f.window->findChild<QLineEdit*>("Text1")->text(),
                 QString::fromStdString(output + "/"));
        clickButton(f.window.get(), "PushButton4");
        QCOMPARE(f.stored("Last Add Folder"), added);
        // Each remembers its own folder.
        clickButton(f.window.get(), "PushButton1");
        clickButton(f.window.get(), "PushButton7");
        clickButton(f.window.get(), "PushButton4");
        // A remembered folder that is gone gives way to the output folder, "~" read as home.
        fs::remove_all(added);
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QByteArray::fromStdString(f.in.string()));
        f.window->options().setOutputFolder("~/out");
        clickButton(f.window.get(), "PushButton1");
        // An output folder that does not exist leaves the dialog on its own default.
        f.window->options().setOutputFolder("~/missing/");
        clickButton(f.window.get(), "PushButton1");
        qputenv("HOME", home);
        std::vector<std::string> starts;
        for (const ShownBox& box : f.dialogs.shown) {
            if (box.kind == ShownBox::Kind::OpenFiles
                || box.kind == ShownBox::Kind::BrowseForFolder) {
                starts.push_back(box.startFolder);
            }
        }
        const std::vector<std::string> expected{
            desktop, desktop, output + "/", added, output, f.in.string(), output, ""};
        QCOMPARE(starts, expected);
    }

    void outputFolderButtonBrowsesFromTheRememberedFolder()
    {
        ListFixture f;
        QVERIFY(f.start());
        auto* outputFolder = f.window->findChild<QLineEdit*>("Text1");
        const QString before = outputFolder->text();
        f.dialogs.chosenFolders = {"", "/", "/data/out"};
        clickButton(f.window.get(), "PushButton7");
        QCOMPARE(outputFolder->text(), before);
        QCOMPARE(f.stored("LastFolderDot"), std::string("<none>"));
        clickButton(f.window.get(), "PushButton7");
        QCOMPARE(outputFolder->text(), QStringLiteral("/"));
        clickButton(f.window.get(), "PushButton7");
        QCOMPARE(outputFolder->text(), QStringLiteral("/data/out/"));
        QCOMPARE(f.stored("LastFolderDot"), std::string("/data/out"));
        QCOMPARE(f.stored("Output Folder"), std::string("/data/out/"));
        const auto browsers = f.boxes(ShownBox::Kind::BrowseForFolder);
        QCOMPARE(browsers[0].title, std::string("Please select folder:"));
        QCOMPARE(browsers[2].text, std::string("/"));
        // Add All remembers its folder apart.
        QCOMPARE(f.stored("LastFolder"), std::string("<none>"));
    }
};

} // namespace sheetfray::testing

QTEST_MAIN(sheetfray::testing::FileListTest)
#include "FileListTest.moc"
