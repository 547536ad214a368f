// The settings file when it is damaged, unreadable or cannot be written: the window starts
// with what it can get, says once that choices will not be kept, and never loses the file.
#include "window/SettingsStore.h"

#include "WindowHarness.h"
#include "tests/fakes/ScriptedDialogs.h"
#include "window/MainWindow.h"

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace sheetfray;
using testing::ShownBox;
using testing::WindowHarness;

namespace {

std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Bytes no INI parser makes sense of, then one line it does.
std::string damagedStore()
{
    std::string bytes = "[Sheetfray\n\x01\x02=\xff\xfe\n[[\n";
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i * 37 % 256));
    }
    bytes += "\n[Sheetfray]\nOption9=True\n";
    return bytes;
}

bool isChecked(window::MainWindow& window, const char* name)
{
    return window.findChild<QRadioButton*>(name)->isChecked();
}

} // namespace

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private slots:

    void aDamagedFileIsKeptAsideAndTheWindowStarts()
    {
        WindowHarness h;
        const std::filesystem::path file = h.storeFile().toStdString();
        const std::string damaged = damagedStore();
        writeBytes(file, damaged);

        QVERIFY(h.start());
        // What could be read is used; the rest are the defaults.
        QVERIFY(isChecked(*h.window, "Option9"));
        QVERIFY(isChecked(*h.window, "Option3"));
        QVERIFY(isChecked(*h.window, "Option21"));
        QVERIFY(h.dialogs.shown.empty());
        QCOMPARE(readBytes(file.string() + ".damaged"), damaged);

        // The rewritten file is whole again: a restart reads the choice made now.
        h.window->findChild<QRadioButton*>("Option23")->click();
        QVERIFY(h.start());
        QVERIFY(isChecked(*h.window, "Option23"));
        QVERIFY(isChecked(*h.window, "Option9"));
        QCOMPARE(readBytes(file.string() + ".damaged"), damaged);
    }

    void anUnwritableFolderIsReportedOnceAndChoicesHoldForTheSession()
    {
        WindowHarness h;
        // The folder the file should be in is a file: no one, not even root, can write there.
        writeBytes(h.dir.path() / "config", "not a folder");

        QVERIFY(h.start());
        h.window->findChild<QRadioButton*>("Option5")->click();
        h.window->findChild<QRadioButton*>("Option23")->click();
        QTest::keyClicks(h.window->findChild<QLineEdit*>("Text2"), "; ");

        QCOMPARE(h.dialogs.shown.size(), std::size_t{1});
        const ShownBox& box = h.dialogs.shown.front();
        QCOMPARE(box.kind, ShownBox::Kind::Warning);
        QVERIFY(box.text.find(h.storeFile().toStdString()) != std::string::npos);
        QCOMPARE(h.store->read("Option23", "False"), std::string("True"));
        QCOMPARE(h.store->read("Text2", ""), std::string("; "));
        QCOMPARE(readBytes(h.dir.path() / "config"), std::string("not a folder"));
    }

    void aFileThatCannotBeReadGivesTheDefaultsAndIsLeftAlone()
    {
        WindowHarness h;
        // A folder where the file should be: reading fails for everyone, as does writing.
        const std::filesystem::path file = h.storeFile().toStdString();
        std::filesystem::create_directories(file / "inside");

        QVERIFY(h.start());
        QVERIFY(isChecked(*h.window, "Option1"));
        QVERIFY(isChecked(*h.window, "Option13"));
        h.window->findChild<QRadioButton*>("Option2")->click();
        QCOMPARE(h.dialogs.shown.size(), std::size_t{1});
        QVERIFY(std::filesystem::is_directory(file / "inside"));
        QVERIFY(!std::filesystem::exists(file.string() + ".damaged"));
    }

    void aSoundFileIsNeitherCopiedNorReported()
    {
        WindowHarness h;
        h.writeStore("Option2=True\nOutput%20Folder=/tmp/out/\n");
        QVERIFY(h.start());
        QVERIFY(isChecked(*h.window, "Option2"));
        h.window->findChild<QRadioButton*>("Option22")->click();
        QVERIFY(h.dialogs.shown.empty());
        QVERIFY(!std::filesystem::exists(h.storeFile().toStdString() + ".damaged"));
    }
};

QTEST_MAIN(SettingsStoreTest)
#include "SettingsStoreTest.moc"
