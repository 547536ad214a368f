// The window as users first meet it: layout, first start, remembered choices, start-up
// failures, hover pointers and the error report's box.
#include "window/MainWindow.h"

#include "platform/qt/QtDialogs.h"
#include "support/Error.h"
#include "support/ErrorReport.h"
#include "tests/window/WindowHarness.h"
#include "window/Layout.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace sheetfray::testing {

namespace {

using window::Pointer;

// A host that cannot be created: no spreadsheet application is there.
class MissingHostFactory final : public engine::HostFactory
{
public:
    std::unique_ptr<engine::Host> create() override
    {
        throw Error("the spreadsheet host cannot be created");
    }
};

QRadioButton* option(QWidget* window, const char* name)
{
    return window->findChild<QRadioButton*>(QString::fromLatin1(name));
}

void moveOver(QWidget* widget, QPoint position)
{
    QMouseEvent move(QEvent::MouseMove,
                     QPointF(position),
                     QPointF(widget->mapToGlobal(position)),
                     Qt::NoButton,
                     Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:

    void controlsStandWhereTheLayoutPutsThem()
    {
        WindowHarness h;
        QVERIFY(h.start());
        window::MainWindow& window = *h.window;
        QCOMPARE(window.size(), QSize(1064, 474));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        // Twips at 96 dots per inch, 15 to a pixel; places inside a frame count from it.
        const std::map<QString, std::pair<QString, QRect>> places{
            {"ListView1", {"Form1", QRect(8, 8, 520, 263)}},
            {"PushButton2", {"Form1", QRect(536, 442, 520, 27)}},
            {"Option7", {"Frame3", QRect(16, 113, 209, 17)}},
            {"Text2", {"Frame3", QRect(208, 110, 105, 22)}},
            {"Frame5", {"Frame7", QRect(32, 34, 456, 54)}},
            {"Text1", {"Frame5", QRect(16, 20, 378, 23)}}};
        for (const auto& [name, place] : places) {
            auto* control = window.findChild<QWidget*>(name);
            QCOMPARE(control->parentWidget()->objectName(), place.first);
            QCOMPARE(control->geometry(), place.second);
        }
        // Captions are exact, trailing blanks included.
        QCOMPARE(option(&window, "Option9")->text(), "Save each cell to an Excel file ");
        QCOMPARE(option(&window, "Option8")->text(), "Save each cell to a text file ");
        QCOMPARE(window.findChild<QGroupBox*>("Frame7")->title().remove('&'), "Save Option");
        QCOMPARE(window.findChild<QPushButton*>("PushButton4")->text().remove('&'),
                 "Add All Excel Files In Folder");
        QCOMPARE(window.findChild<QProgressBar*>("ProgressBar1")->text(), "Progress Bar");
        auto* list = window.findChild<QTreeView*>("ListView1");
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), "Excel File(s)");
        QCOMPARE(list->columnWidth(0), 466);
        QVERIFY(list->toolTip().startsWith("Drag and drop files here."));
        QCOMPARE(window.windowTitle(), "Sheetfray");
        // Arial, or the font with its metrics that the system puts in its place.
        const QFontInfo font(option(&window, "Option1")->font());
        QVERIFY2(font.family() == "Arial" || font.family() == "Liberation Sans",
                 qPrintable(font.family()));
        QVERIFY(font.bold());
        QCOMPARE(QFontInfo(window.findChild<QPushButton*>("PushButton1")->font()).pointSizeF(),
                 11.25);
    }

    void tabOrderFollowsTheTabIndexes()
    {
        WindowHarness h;
        QVERIFY(h.start());
        const QStringList expected{
            "ListView1",   "Option1",     "Option2",     "Option3",     "Option4",
            "Option5",     "Option6",     "Option7",     "Text2",       "Option8",
            "Option9",     "Option10",    "Option11",    "PushButton1", "PushButton4",
            "PushButton2", "PushButton5", "PushButton6", "Option23",    "Option22",
            "Option21",    "Text1",       "PushButton7", "Option14",    "Option13"};
        QWidget* widget = h.window->findChild<QWidget*>("ListView1");
        QStringList chain;
        for (int i = 0; i < expected.size(); ++i) {
            chain << widget->objectName();
            widget = widget->nextInFocusChain();
            while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty()) {
                widget = widget->nextInFocusChain();
            }
        }
        QCOMPARE(chain, expected);
    }

    void everyButtonAndGroupHasItsOwnAltLetter()
    {
        WindowHarness h;
        QVERIFY(h.start());
        std::map<QString, QString> letters;
        for (QWidget* control : h.window->findChildren<QWidget*>()) {
            QString caption;
            if (auto* button = qobject_cast<QPushButton*>(control)) {
                caption = button->text();
            } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
                caption = group->title();
            }
            if (caption.isEmpty()) {
                continue;
            }
            const QString letter = QKeySequence::mnemonic(caption).toString();
            QVERIFY2(!letter.isEmpty(), qPrintable(caption));
            QVERIFY2(letters.emplace(letter, control->objectName()).second, qPrintable(letter));
            // A screen reader says the caption as it reads; "..." is described instead.
            if (control->objectName() != "PushButton7") {
                QCOMPARE(control->accessibleName(), QString(caption).remove('&'));
            }
        }
        QCOMPARE(letters.size(), std::size_t(10));
        QCOMPARE(letters.at("Alt+A"), "PushButton1");
        QCOMPARE(letters.at("Alt+V"), "Frame7");
        // The controls without a caption are described.
        for (const window::ControlSpec& entry : window::controlTable()) {
            const QString name = QString::fromUtf8(entry.name.data(), qsizetype(entry.name.size()));
            QVERIFY2(!h.window->findChild<QWidget*>(name)->accessibleName().isEmpty(),
                     qPrintable(name));
        }
        QCOMPARE(h.window->findChild<QWidget*>("PushButton7")->accessibleName(),
                 "Choose the output folder");
        QCOMPARE(h.window->findChild<QWidget*>("ListView1")->accessibleName(),
                 "Workbooks to split");
    }

    void keysPressButtonsAndReachTheChosenOptions()
    {
        WindowHarness h;
        QVERIFY(h.start());
        window::MainWindow& window = *h.window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto shown = [&](ShownBox::Kind kind) {
            return std::ranges::count(h.dialogs.shown, kind, &ShownBox::kind);
        };
        // Return and Enter press the button with the focus.
        window.addListEntry("/a.xlsx");
        auto* clear = window.findChild<QPushButton*>("PushButton5");
        clear->setFocus();
        QTest::keyClick(clear, Qt::Key_Return);
        QCOMPARE(window.fileList().count(), 0);
        auto* add = window.findChild<QPushButton*>("PushButton1");
        add->setFocus();
        QTest::keyClick(add, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(shown(ShownBox::Kind::OpenFiles), 1);
        // Ctrl+O adds files wherever the focus is.
        QTest::keyClick(option(&window, "Option2"), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(shown(ShownBox::Kind::OpenFiles), 2);
        // An Alt letter presses its button.
        QSignalSpy folderClicks(window.findChild<QPushButton*>("PushButton4"),
                                &QPushButton::clicked);
        QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(folderClicks.count(), 1);
        QCOMPARE(shown(ShownBox::Kind::Input), 1);
        // A group's letter goes to its chosen option, even from another control of the group.
        clickOption(&window, "Option4");
        window.findChild<QLineEdit*>("Text2")->setFocus();
        QTest::keyClick(&window, Qt::Key_T, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), option(&window, "Option4"));
        window.findChild<QLineEdit*>("Text1")->setFocus();
        QTest::keyClick(&window, Qt::Key_V, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), option(&window, "Option13"));
        QTest::keyClick(&window, Qt::Key_R, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), option(&window, "Option1"));
        QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), option(&window, "Option21"));
        // Ctrl+Q closes the window as its title bar button does.
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window.isVisible());
    }

    void firstStartShowsTheDefaults()
    {
        WindowHarness h;
        QVERIFY(h.start());
        window::MainWindow& window = *h.window;
        for (const char* name : {"Option1", "Option3", "Option21", "Option13"}) {
            QVERIFY2(option(&window, name)->isChecked(), name);
        }
        QCOMPARE(window.findChild<QLineEdit*>("Text1")->text(),
                 QString::fromStdString(h.desktop() + "/"));
        QCOMPARE(window.findChild<QLineEdit*>("Text2")->text(), QString());
        QVERIFY(option(&window, "Option7")->isEnabled());
        QVERIFY(window.findChild<QWidget*>("Frame5")->isEnabled());
        QVERIFY(h.dialogs.shown.empty());
        // The texts were written back; option keys no click wrote stay absent.
        const QString stored = h.storeText();
        QVERIFY(stored.contains("Output%20Folder=" + QString::fromStdString(h.desktop() + "/")));
        QVERIFY(stored.contains("Text2="));
        QVERIFY(!stored.contains("Option"));
    }

    void clickedChoicesSurviveARestart()
    {
        WindowHarness h;
        QVERIFY(h.start());
        clickOption(h.window.get(), "Option5");
        clickOption(h.window.get(), "Option9");
        clickOption(h.window.get(), "Option23");
        clickOption(h.window.get(), "Option14");
        QVERIFY(!option(h.window.get(), "Option3")->isEnabled());
        QVERIFY(!h.window->findChild<QWidget*>("Text1")->isEnabled());
        QVERIFY(!h.window->findChild<QWidget*>("PushButton7")->isEnabled());
        QTest::keyClicks(h.window->findChild<QLineEdit*>("Text2"), "; ");
        const QString stored = h.storeText();
        QVERIFY(stored.contains("Option9=True"));
        QVERIFY(stored.contains("Option1=False"));
        QVERIFY(stored.contains("Option14=True"));
        QVERIFY(stored.contains("Text2=\"; \""));

        QVERIFY(h.start());
        window::MainWindow& window = *h.window;
        for (const char* name : {"Option9", "Option5", "Option23", "Option14"}) {
            QVERIFY2(option(&window, name)->isChecked(), name);
        }
        QVERIFY(!option(&window, "Option1")->isChecked());
        QVERIFY(!option(&window, "Option5")->isEnabled());
        QVERIFY(!window.findChild<QWidget*>("Frame5")->isEnabled());
        QCOMPARE(window.findChild<QLineEdit*>("Text2")->text(), QStringLiteral("; "));
        // A text the box keeps while disabled is still the stored one.
        QCOMPARE(window.findChild<QLineEdit*>("Text1")->text(),
                 QString::fromStdString(h.desktop() + "/"));
    }

    void restoreLetsTheLaterOfTwoChosenOptionsWin()
    {
        WindowHarness h;
        h.writeStore("Option1=False\nOption2=True\nOption10=true\nOption4=1\nOption6=-1\n");
        QVERIFY(h.start());
        QVERIFY(option(h.window.get(), "Option10")->isChecked());
        QVERIFY(!option(h.window.get(), "Option2")->isChecked());
        QVERIFY(option(h.window.get(), "Option6")->isChecked());
        QVERIFY(!option(h.window.get(), "Option4")->isChecked());
        const QString stored = h.storeText();
        QVERIFY(stored.contains("Option2=False"));
        QVERIFY(stored.contains("Option10=True"));
        QVERIFY(stored.contains("Option4=False"));
    }

    void handEditedStoreIsReportedOrMended()
    {
        WindowHarness h;
        h.writeStore("Option2=maybe\nOption22=True\nOption13=0\nOption14=0\n");
        QVERIFY(h.start());
        // A choice without a truth value is reported at its line; the option stays as laid out.
        const auto warnings = h.dialogs.texts(ShownBox::Kind::Warning);
        QCOMPARE(warnings.size(), std::size_t(1));
        QCOMPARE(h.dialogs.shown.front().title, std::string("Application Error"));
        QVERIFY(warnings.front().find("\r\nin Rendlet2021/08/31.Form1.Form_Load at line 140\r\r")
                != std::string::npos);
        QVERIFY(option(h.window.get(), "Option1")->isChecked());
        QVERIFY(option(h.window.get(), "Option22")->isChecked());
        // A group left without a choice gets its default, stored as if clicked.
        QVERIFY(option(h.window.get(), "Option13")->isChecked());
        QVERIFY(h.window->findChild<QWidget*>("Frame5")->isEnabled());
        QVERIFY(h.storeText().contains("Option13=True"));
    }

    void missingHostEndsTheProgramWithItsMessage()
    {
        WindowHarness h;
        MissingHostFactory missing;
        h.hosts = &missing;
        QVERIFY(!h.start());
        QCOMPARE(h.dialogs.shown.size(), std::size_t(1));
        const ShownBox& box = h.dialogs.shown.front();
        QCOMPARE(box.kind, ShownBox::Kind::Message);
        QCOMPARE(box.title, std::string("Sheetfray"));
        QVERIFY(box.text.starts_with(
            "Error 842001. A normal instance of Excel could not be created.\r\n\r\n1. "));
        QVERIFY(box.text.ends_with("except for the rare Excel Starter and Student editions."));
    }

    void programFolderGivesSkinAndHandCursor()
    {
        WindowHarness h;
        std::filesystem::create_directories(h.dir.path() / "program" / "x");
        writeFile(h.dir.path() / "program" / "x" / "o.cjs", "QPushButton { color: navy; }");
        writeFile(h.dir.path() / "program" / "HAND-M.CUR", "not a cursor");
        QVERIFY(h.start());
        QCOMPARE(h.window->styleSheet(), QStringLiteral("QPushButton { color: navy; }"));
        // A cursor that cannot be read is reported at its line, and start-up goes on.
        const auto warnings = h.dialogs.texts(ShownBox::Kind::Warning);
        QCOMPARE(warnings.size(), std::size_t(1));
        QVERIFY(warnings.front().find("Form_Load at line 104") != std::string::npos);
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Sheetfray"));
        moveOver(h.window->findChild<QWidget*>("PushButton1"), QPoint(10, 10));
        QCOMPARE(h.window->pointer(), Pointer::Hand);
    }

    void pointerFollowsTheUserUnlessBusy()
    {
        WindowHarness h;
        QVERIFY(h.start());
        window::MainWindow& window = *h.window;
        moveOver(window.findChild<QWidget*>("PushButton2"), QPoint(5, 5));
        QCOMPARE(window.pointer(), Pointer::Hand);
        // The bare surface of a frame resets it; a control inside the frame leaves it alone.
        moveOver(window.findChild<QWidget*>("Frame1"), QPoint(400, 10));
        QCOMPARE(window.pointer(), Pointer::Normal);
        moveOver(window.findChild<QWidget*>("PushButton7"), QPoint(5, 5));
        QCOMPARE(window.pointer(), Pointer::Hand);
        moveOver(option(&window, "Option10"), QPoint(5, 5));
        QCOMPARE(window.pointer(), Pointer::Hand);
        moveOver(&window, QPoint(530, 300));
        QCOMPARE(window.pointer(), Pointer::Normal);
        window.setBusy(true);
        moveOver(window.findChild<QWidget*>("PushButton1"), QPoint(5, 5));
        moveOver(window.findChild<QWidget*>("Frame3"), QPoint(400, 10));
        QCOMPARE(window.pointer(), Pointer::Hourglass);
        QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
    }

    void errorReportBoxShowsTheTrapText()
    {
        platform::qt::QtDialogs dialogs;
        window::DialogReporter reporter(dialogs);
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QList<QAbstractButton*> buttons;
        const ModalAnswerer<QMessageBox> answerer([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->buttons();
            box->accept();
        });
        reporter.report(ErrorReport{std::string(Location::StartSaving), 118, "disk full"});
        QCOMPARE(title, QStringLiteral("Application Error"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(text,
                 QStringLiteral("disk full\nin Rendlet2021/08/31.Form1.PushButton2_Click at line "
                                "118\n\nPlease email screenshot of this message to "
                                "support@sheetfray.example"));
    }

    void aReportTallerThanTheScreenKeepsItsButtonOnTheScreen()
    {
        platform::qt::QtDialogs dialogs;
        window::DialogReporter reporter(dialogs);
        QString text;
        QString details;
        int height = 0;
        const ModalAnswerer<QMessageBox> answerer([&](QMessageBox* box) {
            text = box->text();
            details = box->detailedText();
            height = box->frameGeometry().height();
            box->accept();
        });
        std::string description;
        for (int i = 0; i < 400; ++i) {
            description += "cannot write \"/out/x" + std::to_string(i) + ".txt\": denied\r\n";
        }
        reporter.report(ErrorReport{std::string(Location::StartSaving), 118, description});
        QVERIFY(height > 0);
        QVERIFY(height <= QGuiApplication::primaryScreen()->availableGeometry().height());
        QVERIFY(text.startsWith("cannot write \"/out/x0.txt\": denied\ncannot write"));
        QVERIFY(text.endsWith(QChar(0x2026)));
        QVERIFY(details.contains("x399.txt"));
        QVERIFY(details.endsWith("support@sheetfray.example"));
    }

    void runBoxesOfferTheirCheckBoxDetailsAndButton()
    {
        platform::qt::QtDialogs dialogs;
        window::DialogReporter reporter(dialogs);
        int boxes = 0;
        QString checkBox;
        QString details;
        QStringList buttons;
        const ModalAnswerer<QMessageBox> answerer([&](QMessageBox* box) {
            ++boxes;
            if (QCheckBox* check = box->checkBox()) {
                checkBox = check->text();
                check->setChecked(true);
                box->accept();
                return;
            }
            details = box->detailedText();
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text();
            }
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == "Open Folder") {
                    button->click();
                }
            }
        });
        reporter.beginRun();
        reporter.report(ErrorReport{std::string(Location::StartSaving), 118, "disk full"});
        reporter.report(ErrorReport{std::string(Location::StartSaving), 120, "disk full"});
        const std::vector<std::string> reports = reporter.endRun();
        const bool pressed =
            dialogs.messageWithDetails("Sheetfray", "Done.", "all of it", "Open Folder");
        // The ticked box hides the second report, which is still kept.
        QCOMPARE(boxes, 2);
        QCOMPARE(checkBox, QStringLiteral("Don't show further errors in this run"));
        QCOMPARE(reports.size(), std::size_t(2));
        QCOMPARE(details, QStringLiteral("all of it"));
        QVERIFY(buttons.contains("Open Folder"));
        QVERIFY(pressed);
    }

    void progressCaptionFitsTheBar()
    {
        WindowHarness h;
        QVERIFY(h.start());
        auto* bar = h.window->findChild<QProgressBar*>("ProgressBar1");
        const QString caption = QStringLiteral(
            "Processing: quarterly-sales-2024-region.xlsx (12 of 40) - Row Processed: 100000 of "
            "100000");
        h.window->setProgressText(caption.toStdString());
        QVERIFY2(bar->fontMetrics().horizontalAdvance(bar->text())
                     <= bar->contentsRect().width() - 8,
                 qPrintable(bar->text()));
        QVERIFY(bar->text().endsWith(QStringLiteral("Row Processed: 100000 of 100000")));
    }

    void shortTitleIsCutAtWordEnds_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one word stays whole") << "Sheetfray"
                                              << "Sheetfray";
        QTest::newRow("long name cut until it fits")
            << "Sheetfray Workbook Splitter For Rows Columns And Cells"
            << "Sheetfray Workbook Splitter For Rows";
    }

    void shortTitleIsCutAtWordEnds()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(window::shortTitleFor(name.toStdString())), expected);
    }
};

} // namespace sheetfray::testing

QTEST_MAIN(sheetfray::testing::MainWindowTest)
#include "MainWindowTest.moc"
