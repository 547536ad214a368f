// The choices without widgets: truth rules, what each click stores, enabling rules, restore.
#include "window/OptionState.h"

#include "support/Error.h"
#include "window/SettingsStore.h"

#include <QTest>

#include <map>
#include <utility>
#include <vector>

namespace sheetfray::testing {

using window::OptionId;
using enum window::OptionId;

// Keeps values in memory and records every write in order.
class MemoryStore final : public window::SettingsStore
{
public:
    std::map<std::string, std::string, std::less<>> values;
    std::vector<std::pair<std::string, std::string>> writes;

    void store(std::string_view key, std::string_view value) override
    {
        values[std::string(key)] = value;
        writes.emplace_back(key, value);
    }

    std::string read(std::string_view key, std::string_view defaultValue) override
    {
        const auto it = values.find(key);
        return it == values.end() ? std::string(defaultValue) : it->second;
    }
};

using Writes = std::vector<std::pair<std::string, std::string>>;

void restoreAll(window::OptionState& options, const std::string& desktop)
{
    options.readStoredChoices();
    options.restoreText2();
    for (OptionId id : {Option1,
                        Option2,
                        Option8,
                        Option9,
                        Option10,
                        Option11,
                        Option3,
                        Option4,
                        Option5,
                        Option6,
                        Option7,
                        Option21,
                        Option22,
                        Option23}) {
        options.restoreOption(id);
    }
    options.restoreText1(desktop);
    options.restoreOption(Option13);
    options.restoreOption(Option14);
    options.ensureChoices();
    options.applyFrame5Rule();
}

class OptionStateTest : public QObject
{
    Q_OBJECT

private slots:

    void truthOfStoredChoice_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected"); // 1 true, 0 false, -1 no truth value
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("lower-case true") << "true" << 1;
        QTest::newRow("upper-case FALSE") << "FALSE" << 0;
        QTest::newRow("default 1") << "1" << 1;
        QTest::newRow("minus one") << "-1" << 1;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("zero with fraction") << "0.0" << 0;
        QTest::newRow("fraction") << "0.5" << 1;
        QTest::newRow("blanks around") << " 1 " << 1;
        QTest::newRow("plus sign") << "+2" << 1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("yes is no truth value") << "yes" << -1;
        QTest::newRow("trailing letters") << "1x" << -1;
        QTest::newRow("infinity") << "inf" << -1;
        QTest::newRow("true with suffix") << "truely" << -1;
    }

    void truthOfStoredChoice()
    {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        const std::optional<bool> truth = window::parseTruth(stored.toStdString());
        QCOMPARE(truth.has_value() ? int(*truth) : -1, expected);
    }

    void modeClickStoresTheWholeGroupInOrder()
    {
        MemoryStore store;
        window::OptionState options(store);
        options.click(Option9);
        QCOMPARE(store.writes,
                 (Writes{{"Option1", "False"},
                         {"Option2", "False"},
                         {"Option8", "False"},
                         {"Option9", "True"},
                         {"Option10", "False"},
                         {"Option11", "False"}}));
        QVERIFY(options.isSelected(Option9));
        QVERIFY(!options.isSelected(Option1));
        // Other groups keep their choice.
        QVERIFY(options.isSelected(Option3));
        QVERIFY(options.isSelected(Option21));
        QVERIFY(options.isSelected(Option13));
    }

    void separatorsFollowTheMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("rows to text") << int(Option1) << true;
        QTest::newRow("columns to text") << int(Option2) << true;
        QTest::newRow("cells to text") << int(Option8) << false;
        QTest::newRow("cells to spreadsheet") << int(Option9) << false;
        QTest::newRow("columns to spreadsheet") << int(Option10) << false;
        QTest::newRow("rows to spreadsheet") << int(Option11) << false;
    }

    void separatorsFollowTheMode()
    {
        QFETCH(int, mode);
        QFETCH(bool, enabled);
        MemoryStore store;
        window::OptionState options(store);
        options.click(Option5);
        options.click(Option10);
        options.click(static_cast<OptionId>(mode));
        for (OptionId id : {Option3, Option4, Option5, Option6, Option7}) {
            QCOMPARE(options.isEnabled(id), enabled);
        }
        // Disabling keeps the separator chosen, and the custom text stays editable.
        QVERIFY(options.isSelected(Option5));
        options.setText2("; ");
        QCOMPARE(store.values.at("Text2"), std::string("; "));
    }

    void folderChoiceDisablesFrame5AndKeepsTheText()
    {
        MemoryStore store;
        window::OptionState options(store);
        options.setText1("/out");
        options.click(Option14);
        QVERIFY(!options.isFrame5Enabled());
        QCOMPARE(options.text1(), std::string("/out"));
        QCOMPARE(options.folder(), engine::FolderChoice::SourceFolder);
        QCOMPARE(store.writes.back(), (std::pair<std::string, std::string>{"Option14", "True"}));
        options.click(Option13);
        QVERIFY(options.isFrame5Enabled());
    }

    void typingStoresEveryPrefix()
    {
        MemoryStore store;
        window::OptionState options(store);
        const std::string path = "/a/out";
        for (std::size_t n = 1; n <= path.size(); ++n) {
            options.setText1(path.substr(0, n));
        }
        QCOMPARE(store.writes.size(), std::size_t(6));
        QCOMPARE(store.writes.front(), (std::pair<std::string, std::string>{"Output Folder", "/"}));
        QCOMPARE(store.values.at("Output Folder"), path);
        // The same text again is no change.
        options.setText1(path);
        QCOMPARE(store.writes.size(), std::size_t(6));
    }

    void firstStartStoresTextsButNoOptions()
    {
        MemoryStore store;
        window::OptionState options(store);
        restoreAll(options, "/home/u/Desktop/");
        QCOMPARE(options.text2(), std::string());
        QCOMPARE(options.text1(), std::string("/home/u/Desktop/"));
        QCOMPARE(store.writes, (Writes{{"Text2", ""}, {"Output Folder", "/home/u/Desktop/"}}));
        QVERIFY(options.isSelected(Option1) && options.isSelected(Option3)
                && options.isSelected(Option21) && options.isSelected(Option13));
        QVERIFY(options.isEnabled(Option7));
        QVERIFY(options.isFrame5Enabled());
    }

    void laterOptionOfAGroupWins()
    {
        MemoryStore store;
        store.values = {{"Option2", "True"}, {"Option11", "-1"}, {"Option1", "0"}};
        window::OptionState options(store);
        restoreAll(options, "/d/");
        QVERIFY(options.isSelected(Option11));
        QVERIFY(!options.isSelected(Option2));
        QVERIFY(!options.isEnabled(Option3));
        QCOMPARE(options.mode(), engine::SplitMode::Rows);
        QVERIFY(options.isSpreadsheetKind());
        // The click handler of the winner stored its group again.
        QCOMPARE(store.values.at("Option2"), std::string("False"));
        QCOMPARE(store.values.at("Option11"), std::string("True"));
    }

    void groupLeftWithoutChoiceFallsBackToItsDefault()
    {
        MemoryStore store;
        store.values = {{"Option1", "False"}, {"Option13", "False"}, {"Option14", "False"}};
        window::OptionState options(store);
        restoreAll(options, "/d/");
        QVERIFY(options.isSelected(Option1));
        QVERIFY(options.isSelected(Option13));
        QVERIFY(options.isFrame5Enabled());
        QCOMPARE(store.values.at("Option1"), std::string("True"));
        QCOMPARE(store.values.at("Option13"), std::string("True"));
    }

    void choiceWithoutTruthValueIsRefusedAndLeftAsItWas()
    {
        MemoryStore store;
        store.values = {{"Option2", "maybe"}};
        window::OptionState options(store);
        QVERIFY_THROWS_EXCEPTION(Error, options.restoreOption(Option2));
        QVERIFY(options.isSelected(Option1));
        QVERIFY(!options.isSelected(Option2));
    }

    void choicesForTheRun()
    {
        MemoryStore store;
        window::OptionState options(store);
        options.click(Option8);
        QCOMPARE(options.mode(), engine::SplitMode::Cells);
        QVERIFY(!options.isSpreadsheetKind());
        options.click(Option10);
        QCOMPARE(options.mode(), engine::SplitMode::Columns);
        QVERIFY(options.isSpreadsheetKind());
        options.click(Option7);
        QCOMPARE(options.separator(), engine::SeparatorChoice::Custom);
        options.click(Option22);
        QCOMPARE(options.namingScheme(), engine::NamingScheme::CellLocation);
        options.click(Option23);
        QCOMPARE(options.namingScheme(), engine::NamingScheme::FirstCellValue);
    }
};

} // namespace sheetfray::testing

QTEST_APPLESS_MAIN(sheetfray::testing::OptionStateTest)
#include "OptionStateTest.moc"
