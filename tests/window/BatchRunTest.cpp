// "Start Saving" driven through the window: refusals, progress, files, and the window's
// behaviour while a run yields.
#include "window/BatchRun.h"

#include "tests/builders/XlsxBuilder.h"
#include "tests/window/WindowHarness.h"
#include "window/HostChecks.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

namespace sheetfray::testing {

namespace {

using window::Pointer;

// What the window showed each time the run let it handle events.
struct Seen
{
    double value;
    QString text;
    Pointer pointer;
};

// A workbook of one sheet whose rows are the given texts, one cell each, then "x".
std::string makeBook(const std::filesystem::path& path, const std::vector<std::string>& rows)
{
    std::vector<std::vector<TableCell>> table;
    for (const std::string& row : rows) {
        table.push_back({row, "x"});
    }
    XlsxBuilder().addTableSheet("Sheet1", table).save(path);
    return path.string();
}

class RunFixture : public WindowHarness
{
public:
    std::filesystem::path in = dir.path() / "in";
    std::filesystem::path out = dir.path() / "out";
    std::vector<Seen> seen;

    RunFixture()
    {
        std::filesystem::create_directories(in);
        std::filesystem::create_directories(out);
    }

    void startWithOutputFolder()
    {
        QVERIFY(start());
        window->options().setOutputFolder(out.string());
    }

    void recordProgress()
    {
        auto* bar = window->findChild<QProgressBar*>("ProgressBar1");
        events.onEvents = [this, bar] {
            seen.push_back({window->progressValue(), bar->text(), window->pointer()});
        };
    }

    [[nodiscard]] std::vector<std::string> messages() const
    {
        return dialogs.texts(ShownBox::Kind::Message);
    }
};

} // namespace

class BatchRunTest : public QObject
{
    Q_OBJECT

private slots:

    void emptyListSaysSoAndAsksNothing()
    {
        RunFixture f;
        QVERIFY(f.start());
        f.window->options().setOutputFolder((f.dir.path() / "nowhere").string());
        f.hostRunning = true;
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(f.dialogs.shown.size(), std::size_t(1));
        QCOMPARE(f.dialogs.shown.front().kind, ShownBox::Kind::Message);
        QCOMPARE(f.dialogs.shown.front().title, std::string("Sheetfray"));
        QCOMPARE(f.dialogs.shown.front().text, std::string("No files added."));
    }

    void outputFolderMustExistWhateverTheFolderOption_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("besideSource");
        QTest::newRow("missing folder") << "nowhere" << false;
        QTest::newRow("a file") << "in/a.xlsx" << false;
        QTest::newRow("missing folder, beside the source") << "nowhere" << true;
        QTest::newRow("empty box, beside the source") << "" << true;
    }

    void outputFolderMustExistWhateverTheFolderOption()
    {
        QFETCH(QString, folder);
        QFETCH(bool, besideSource);
        RunFixture f;
        f.hostRunning = true;
        QVERIFY(f.start());
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"one"}));
        f.window->options().setOutputFolder(
            folder.isEmpty() ? "" : (f.dir.path() / folder.toStdString()).string());
        if (besideSource) {
            clickOption(f.window.get(), "Option14");
        }
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(f.messages(),
                 std::vector<std::string>{"Folder does not exist. Please select another folder."});
        QCOMPARE(f.dialogs.shown.size(), std::size_t(1));
        QCOMPARE(filesIn(f.in).size(), std::size_t(1));
    }

    void openSpreadsheetApplicationIsAskedAboutFirst()
    {
        RunFixture f;
        f.hostRunning = true;
        f.startWithOutputFolder();
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"one"}));
        f.dialogs.answers = {false, true};
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(f.dialogs.shown.size(), std::size_t(1));
        QCOMPARE(f.dialogs.shown.front().kind, ShownBox::Kind::Question);
        QCOMPARE(f.dialogs.shown.front().text, std::string(window::OpenInstanceQuestion));
        QVERIFY(filesIn(f.out).empty());
        QCOMPARE(f.window->pointer(), Pointer::Normal);

        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(f.messages(), std::vector<std::string>{"Done.\r\n\r\n1 file written."});
        QCOMPARE(filesIn(f.out).size(), std::size_t(1));
    }

    void threeWorkbooksShowProgressAndWriteEveryFile()
    {
        RunFixture f;
        f.startWithOutputFolder();
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"a1", "a2"}));
        f.window->addListEntry(makeBook(f.in / "b.data.xlsx", {"b1"}));
        f.window->addListEntry(makeBook(f.in / "c.xlsx", {"c1", "c2", "c3"}));
        f.recordProgress();
        clickButton(f.window.get(), "PushButton2");

        std::vector<std::pair<QString, double>> starts;
        std::vector<std::pair<QString, double>> rows;
        for (const Seen& s : f.seen) {
            auto& texts = s.text.contains(" - ") ? rows : starts;
            if (s.text.startsWith("Processing: ")
                && (texts.empty() || texts.back().first != s.text)) {
                texts.emplace_back(s.text, s.value);
            }
        }
        QCOMPARE(starts.size(), std::size_t(3));
        QCOMPARE(starts[0].first, QStringLiteral("Processing: a.xlsx (1 of 3)"));
        QCOMPARE(starts[1].first, QStringLiteral("Processing: b.data.xlsx (2 of 3)"));
        QCOMPARE(starts[2].first, QStringLiteral("Processing: c.xlsx (3 of 3)"));
        QCOMPARE(starts[0].second, 0.0);
        QCOMPARE(starts[1].second, 100.0 / 3);
        QCOMPARE(starts[2].second, 200.0 / 3);
        // The bar moves within a workbook, row by row.
        QCOMPARE(rows.size(), std::size_t(6));
        QCOMPARE(rows[1].first,
                 QStringLiteral("Processing: a.xlsx (1 of 3) - Row Processed: 2 of 2"));
        QCOMPARE(rows[1].second, 100.0 / 6);
        QCOMPARE(rows[5].first,
                 QStringLiteral("Processing: c.xlsx (3 of 3) - Row Processed: 3 of 3"));
        QCOMPARE(rows[5].second, (2 + 2.0 / 3) / 3 * 100);
        // Busy from the first workbook's start to the end: every event after the first.
        for (std::size_t i = 1; i < f.seen.size(); ++i) {
            QCOMPARE(f.seen[i].pointer, Pointer::Hourglass);
        }

        QCOMPARE(f.window->progressValue(), 0.0);
        QCOMPARE(f.window->findChild<QProgressBar*>("ProgressBar1")->text(),
                 QStringLiteral("Progress Bar"));
        QCOMPARE(f.window->pointer(), Pointer::Normal);
        QCOMPARE(f.messages(), std::vector<std::string>{"Done.\r\n\r\n6 files written."});
        QCOMPARE(f.dialogs.shown.size(), std::size_t(1));
        QCOMPARE(f.dialogs.shown.front().option, std::string("Open Folder"));
        QVERIFY(f.dialogs.shown.front().details.empty());
        const auto files = filesIn(f.out);
        const std::map<std::string, std::string> expected{{"a_1.txt", "a1\r\nx\r\n"},
                                                          {"a_2.txt", "a2\r\nx\r\n"},
                                                          {"b.data_1.txt", "b1\r\nx\r\n"},
                                                          {"c_1.txt", "c1\r\nx\r\n"},
                                                          {"c_2.txt", "c2\r\nx\r\n"},
                                                          {"c_3.txt", "c3\r\nx\r\n"}};
        QCOMPARE(files, expected);
        // The list is left as it was.
        QCOMPARE(f.window->fileList().count(), 3);
    }

    void listCannotShrinkWhileBusy()
    {
        RunFixture f;
        f.startWithOutputFolder();
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"a1", "a2"}));
        f.window->addListEntry(f.window->fileList().text(1));
        auto* list = f.window->findChild<QTreeView*>("ListView1");
        const auto row = [list](int r) { return list->model()->index(r, 0); };
        int countWhileBusy = -1;
        f.events.onEvents = [&] {
            if (f.window->pointer() != Pointer::Hourglass || countWhileBusy >= 0) {
                return;
            }
            clickButton(f.window.get(), "PushButton5");
            list->setCurrentIndex(row(1));
            QTest::keyClick(list, Qt::Key_Delete);
            QTest::mouseDClick(
                list->viewport(), Qt::LeftButton, {}, list->visualRect(row(0)).center());
            countWhileBusy = f.window->fileList().count();
        };
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(countWhileBusy, 2);
        // The entry split twice writes its files twice; the second copies take new names.
        QCOMPARE(f.messages(),
                 std::vector<std::string>{"Done.\r\n\r\n4 files written.\r\n\r\n2 files took a new "
                                          "name, such as \"a_1 (2).txt\", because "
                                          "an earlier file of this run had the same name."});

        // Idle again: Delete removes the selected entry, and the duplicate stays.
        list->setCurrentIndex(row(1));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(f.window->fileList().count(), 1);
        QCOMPARE(list->model()->rowCount(), 1);
        clickButton(f.window.get(), "PushButton5");
        QCOMPARE(f.window->fileList().count(), 0);
        QCOMPARE(list->model()->rowCount(), 0);
    }

    void stopEndsTheRunAfterTheFileBeingWritten_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Stop button") << false;
        QTest::newRow("Escape") << true;
    }

    void stopEndsTheRunAfterTheFileBeingWritten()
    {
        QFETCH(bool, escape);
        RunFixture f;
        f.startWithOutputFolder();
        f.window->show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"a1", "a2", "a3"}));
        f.window->addListEntry(makeBook(f.in / "b.xlsx", {"b1"}));
        f.window->addListEntry(makeBook(f.in / "c.xlsx", {"c1"}));
        auto* bar = f.window->findChild<QProgressBar*>("ProgressBar1");
        auto* button = f.window->findChild<QPushButton*>("PushButton2");
        QString captionWhileRunning;
        f.events.onEvents = [&] {
            if (bar->text().endsWith("Row Processed: 2 of 3") && captionWhileRunning.isEmpty()) {
                captionWhileRunning = button->text();
                if (escape) {
                    QTest::keyClick(f.window.get(), Qt::Key_Escape);
                } else {
                    clickButton(f.window.get(), "PushButton2");
                }
            }
        };
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(captionWhileRunning, QStringLiteral("&Stop"));
        QCOMPARE(button->text(), QStringLiteral("&Start Saving"));
        QCOMPARE(f.messages(),
                 std::vector<std::string>{"Stopped.\r\n\r\nThe run was stopped while splitting "
                                          "a.xlsx.\r\n\r\nNot split: b.xlsx, c.xlsx.\r\n\r\n1 "
                                          "file written."});
        QCOMPARE(filesIn(f.out), (std::map<std::string, std::string>{{"a_1.txt", "a1\r\nx\r\n"}}));
        QCOMPARE(f.window->fileList().count(), 3);
        // The next run starts afresh and splits every workbook.
        f.events.onEvents = nullptr;
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(filesIn(f.out).size(), std::size_t(5));
    }

    void closingDuringARunAsksWhetherToStop()
    {
        RunFixture f;
        f.startWithOutputFolder();
        f.window->show();
        std::vector<std::string> rows;
        for (int i = 1; i <= 50; ++i) {
            rows.push_back("row" + std::to_string(i));
        }
        f.window->addListEntry(makeBook(f.in / "a.xlsx", rows));
        f.window->addListEntry(makeBook(f.in / "b.xlsx", {"b1"}));
        int events = 0;
        f.events.onEvents = [&] {
            ++events;
            if (events == 10 || events == 20) {
                f.window->close();
            }
        };
        // No goes on; Yes stops the run and closes the window without an end message.
        f.dialogs.answers = {false, true};
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(f.dialogs.texts(ShownBox::Kind::Question),
                 (std::vector<std::string>(
                     2, "Files are being saved. Stop saving and close the window?")));
        QVERIFY(f.messages().empty());
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.events.endRequests, 0);
        const auto files = filesIn(f.out);
        // The rows passed before the second close have their files, each complete.
        QVERIFY2(files.size() >= 15 && files.size() < 50,
                 qPrintable(QString::number(files.size())));
        for (const auto& [name, content] : files) {
            const std::string number =
                name.substr(name.find('_') + 1, name.find('.') - name.find('_') - 1);
            QCOMPARE(content, "row" + number + "\r\nx\r\n");
        }
    }

    void choicesHoldStillDuringARun()
    {
        RunFixture f;
        f.startWithOutputFolder();
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"a1"}));
        f.window->addListEntry(makeBook(f.in / "b.xlsx", {"b1"}));
        auto* bar = f.window->findChild<QProgressBar*>("ProgressBar1");
        auto* folderBox = f.window->findChild<QLineEdit*>("Text1");
        auto* browse = f.window->findChild<QPushButton*>("PushButton7");
        bool changed = false;
        bool heldStill = false;
        f.events.onEvents = [&] {
            if (!changed && bar->text().startsWith("Processing: b.xlsx")) {
                changed = true;
                clickOption(f.window.get(), "Option14");
                clickOption(f.window.get(), "Option5");
                heldStill = !folderBox->isEnabled() && !browse->isEnabled()
                    && !f.window->findChild<QLineEdit*>("Text2")->isEnabled()
                    && !f.window->findChild<QRadioButton*>("Option1")->isEnabled();
            }
        };
        clickButton(f.window.get(), "PushButton2");
        QVERIFY(changed);
        QVERIFY(heldStill);
        QCOMPARE(filesIn(f.out),
                 (std::map<std::string, std::string>{{"a_1.txt", "a1\r\nx\r\n"},
                                                     {"b_1.txt", "b1\r\nx\r\n"}}));
        // Enabled again as the options say: the folder box only while its option is chosen.
        QVERIFY(folderBox->isEnabled());
        QVERIFY(browse->isEnabled());
        QVERIFY(f.window->findChild<QRadioButton*>("Option1")->isEnabled());
        QVERIFY(f.window->findChild<QLineEdit*>("Text2")->isEnabled());
        clickOption(f.window.get(), "Option14");
        QVERIFY(!folderBox->isEnabled());
    }

    void modeAndSeparatorDecideTheFiles_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("typed"); // into the custom separator box
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");
        QTest::newRow("custom separator as typed") << QStringList{"Option7"} << "; "
                                                   << "a_1.txt"
                                                   << "a1; x; ";
        QTest::newRow("empty custom separator") << QStringList{"Option7"} << ""
                                                << "a_1.txt"
                                                << "a1x";
        QTest::newRow("spreadsheet rows are workbooks whatever the separator")
            << QStringList{"Option5", "Option11"} << ""
            << "a_1.xls"
            << "compound file";
        QTest::newRow("columns to text") << QStringList{"Option4", "Option2"} << ""
                                         << "a_1.txt"
                                         << "a1, ";
    }

    void modeAndSeparatorDecideTheFiles()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(QString, content);
        RunFixture f;
        f.startWithOutputFolder();
        for (const QString& click : clicks) {
            clickOption(f.window.get(), qPrintable(click));
        }
        QTest::keyClicks(f.window->findChild<QLineEdit*>("Text2"), typed);
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"a1"}));
        clickButton(f.window.get(), "PushButton2");
        const auto files = filesIn(f.out);
        QVERIFY(!files.empty());
        QCOMPARE(files.begin()->first, name.toStdString());
        // A workbook is told by its first bytes: those of a compound file.
        const std::string& got = files.begin()->second;
        QCOMPARE(got.starts_with("\xD0\xCF\x11\xE0") ? std::string("compound file") : got,
                 content.toStdString());
    }

    void unreadableWorkbookIsReportedAndTheRunGoesOn()
    {
        RunFixture f;
        f.startWithOutputFolder();
        f.window->addListEntry((f.in / "gone.xlsx").string());
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"a1"}));
        clickButton(f.window.get(), "PushButton2");
        const auto reports = f.dialogs.texts(ShownBox::Kind::Warning);
        QCOMPARE(reports.size(), std::size_t(1));
        QVERIFY(reports.front().find("gone.xlsx") != std::string::npos);
        QVERIFY(reports.front().find("\r\nin Rendlet2021/08/31.Excel1.SaveEachRow at line 100\r\r")
                != std::string::npos);
        QCOMPARE(f.dialogs.shown.front().option,
                 std::string("Don't show further errors in this run"));
        QCOMPARE(f.messages(),
                 std::vector<std::string>{
                     "Done.\r\n\r\n1 file written.\r\n\r\n1 workbook could not be read; it is "
                     "marked in the list.\r\n\r\n1 error was reported: see Show Details."});
        QVERIFY(f.dialogs.shown.back().details.starts_with(reports.front()));
        QCOMPARE(filesIn(f.out).size(), std::size_t(1));

        // The entry is marked until the next run, which reads it.
        auto* list = f.window->findChild<QTreeView*>("ListView1");
        const auto data = [list](int row, int role) {
            return list->model()->index(row, 0).data(role);
        };
        const QString gone = QString::fromStdString((f.in / "gone.xlsx").string());
        const QString tip = data(0, Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith(gone + "\n") && tip.size() > gone.size() + 1, qPrintable(tip));
        QVERIFY(!data(0, Qt::DecorationRole).isNull());
        QCOMPARE(data(1, Qt::ToolTipRole).toString(),
                 QString::fromStdString((f.in / "a.xlsx").string()));
        QVERIFY(data(1, Qt::DecorationRole).isNull());
        makeBook(f.in / "gone.xlsx", {"g1"});
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(data(0, Qt::ToolTipRole).toString(), gone);
        QVERIFY(data(0, Qt::DecorationRole).isNull());
    }

    void errorsCanBeSilencedForTheRestOfTheRun()
    {
        RunFixture f;
        QVERIFY(f.start());
        // A folder no file can be written to, whoever runs the test.
        f.window->options().setOutputFolder("/proc");
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"a1", "a2", "a3"}));
        f.window->addListEntry(makeBook(f.in / "b.xlsx", {"b1"}));
        f.dialogs.ticks = {false, true};
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(f.dialogs.texts(ShownBox::Kind::Warning).size(), std::size_t(2));
        const std::vector<std::string> messages = f.messages();
        QCOMPARE(messages.size(), std::size_t(1));
        QCOMPARE(messages.front(),
                 std::string("Done.\r\n\r\n0 files written.\r\n\r\n4 files could not be "
                             "written.\r\n\r\n4 errors were reported: see Show Details."));
        // Every report is in the details, the hidden ones too; no folder to open.
        const std::string& details = f.dialogs.shown.back().details;
        QVERIFY(details.find("a_3.txt") != std::string::npos);
        QVERIFY(details.find("b_1.txt") != std::string::npos);
        QVERIFY(f.dialogs.shown.back().option.empty());
        // After the run, reports show in the plain box again.
        f.window->options().setOutputFolder(f.out.string());
        f.dialogs.shown.clear();
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(f.messages(), std::vector<std::string>{"Done.\r\n\r\n4 files written."});
    }

    void manyFailuresOfOneReasonShowTenBoxesAndACount()
    {
        RunFixture f;
        QVERIFY(f.start());
        f.window->options().setOutputFolder("/proc");
        f.window->addListEntry(makeBook(
            f.in / "a.xlsx", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}));
        clickButton(f.window.get(), "PushButton2");
        const auto boxes = f.dialogs.texts(ShownBox::Kind::Warning);
        QCOMPARE(boxes.size(), std::size_t(10));
        const std::string reason =
            boxes.front().substr(boxes.front().find("\": ") + 3,
                                 boxes.front().find("\r\n") - boxes.front().find("\": ") - 3);
        const std::string more = "and 2 more files of \"a.xlsx\" failed: " + reason;
        QCOMPARE(f.messages(),
                 std::vector<std::string>{
                     "Done.\r\n\r\n0 files written.\r\n\r\n12 files could not be "
                     "written.\r\n\r\n10 errors were reported: see Show Details.\r\n\r\n"
                     + more});
        QVERIFY(f.dialogs.shown.back().details.ends_with(more + "\r\n"));
    }

    void openFolderShowsWhereTheFilesWent()
    {
        RunFixture f;
        f.startWithOutputFolder();
        clickOption(f.window.get(), "Option14");
        f.window->addListEntry(makeBook(f.in / "a.xlsx", {"a1"}));
        f.window->addListEntry(makeBook(f.in / "b.xlsx", {"b1"}));
        f.dialogs.extraPresses = {true};
        clickButton(f.window.get(), "PushButton2");
        QCOMPARE(f.dialogs.openedFolders, std::vector<std::string>{f.in.string() + "/"});
        // Workbooks of two folders: no one folder to open.
        f.window->addListEntry(makeBook(f.out / "c.xlsx", {"c1"}));
        f.dialogs.shown.clear();
        clickButton(f.window.get(), "PushButton2");
        QVERIFY(f.dialogs.shown.back().option.empty());
    }
};

} // namespace sheetfray::testing

QTEST_MAIN(sheetfray::testing::BatchRunTest)
#include "BatchRunTest.moc"
