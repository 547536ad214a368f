// The choices without widgets: truth rules, what each click and keystroke stores, and the
// separators' enabling rule.
#include "window/OptionState.h"

#include "window/SettingsStore.h"

#include <QTest>

#include <map>
#include <utility>
#include <vector>

namespace sheetfray::testing {

using window::OptionId;
using enum window::OptionId;
using Writes = std::vector<std::pair<std::string, std::string>>;

// Keeps values in memory and records every write in order.
class MemoryStore final : public window::SettingsStore
{
public:
    std::map<std::string, std::string, std::less<>> values;
    Writes writes;

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

class OptionStateTest : public QObject
{
    Q_OBJECT

private slots:

    void truthOfStoredChoice_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected"); // 1 true, 0 false, -1 no truth value
        QTest::newRow("lower-case true") << "true" << 1;
        QTest::newRow("upper-case FALSE") << "FALSE" << 0;
        QTest::newRow("minus one") << "-1" << 1;
        QTest::newRow("zero with fraction") << "0.0" << 0;
        QTest::newRow("blanks around") << " 1 " << 1;
        QTest::newRow("empty") << "" << -1;
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
        options.click(CellsToSpreadsheet);
        QCOMPARE(store.writes,
                 (Writes{{"Option1", "False"},
                         {"Option2", "False"},
                         {"Option8", "False"},
                         {"Option9", "True"},
                         {"Option10", "False"},
                         {"Option11", "False"}}));
        // Other groups keep their choice.
        QVERIFY(options.isSelected(SeparatorEnter) && options.isSelected(NameByNumber)
                && options.isSelected(ChosenFolder));
    }

    void separatorsFollowTheMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("rows to text") << int(RowsToText) << true;
        QTest::newRow("columns to text") << int(ColumnsToText) << true;
        QTest::newRow("cells to text") << int(CellsToText) << false;
        QTest::newRow("cells to spreadsheet") << int(CellsToSpreadsheet) << false;
        QTest::newRow("rows to spreadsheet") << int(RowsToSpreadsheet) << false;
    }

    void separatorsFollowTheMode()
    {
        QFETCH(int, mode);
        QFETCH(bool, enabled);
        MemoryStore store;
        window::OptionState options(store);
        options.click(SeparatorComma);
        options.click(ColumnsToSpreadsheet);
        options.click(static_cast<OptionId>(mode));
        for (OptionId id : {SeparatorEnter,
                            SeparatorCommaSpace,
                            SeparatorComma,
                            SeparatorSpace,
                            SeparatorCustom}) {
            QCOMPARE(options.isEnabled(id), enabled);
        }
        // Disabling keeps the separator chosen, and the custom text stays editable.
        QVERIFY(options.isSelected(SeparatorComma));
        options.setCustomSeparator("; ");
        QCOMPARE(store.values.at("Text2"), std::string("; "));
    }

    void typingStoresEveryPrefix()
    {
        MemoryStore store;
        window::OptionState options(store);
        const std::string path = "/a/out";
        for (std::size_t n = 1; n <= path.size(); ++n) {
            options.setOutputFolder(path.substr(0, n));
        }
        QCOMPARE(store.writes.size(), std::size_t(6));
        QCOMPARE(store.writes.front(), (std::pair<std::string, std::string>{"Output Folder", "/"}));
        QCOMPARE(store.values.at("Output Folder"), path);
        // The same text again is no change.
        options.setOutputFolder(path);
        QCOMPARE(store.writes.size(), std::size_t(6));
    }

    void tildeIsTheHomeFolder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("path");
        QTest::newRow("alone") << "~"
                               << "/home/ann";
        QTest::newRow("before a slash") << "~/out/"
                                        << "/home/ann/out/";
        QTest::newRow("another user's") << "~bob/out"
                                        << "~bob/out";
        QTest::newRow("not at the start") << "/a/~/b"
                                          << "/a/~/b";
    }

    void tildeIsTheHomeFolder()
    {
        QFETCH(QString, typed);
        QFETCH(QString, path);
        qputenv("HOME", "/home/ann/");
        MemoryStore store;
        window::OptionState options(store);
        options.setOutputFolder(typed.toStdString());
        QCOMPARE(QString::fromStdString(options.outputFolderPath()), path);
        // The box and the stored text keep what was typed.
        QCOMPARE(QString::fromStdString(store.values.at("Output Folder")), typed);
    }
};

} // namespace sheetfray::testing

QTEST_APPLESS_MAIN(sheetfray::testing::OptionStateTest)
#include "OptionStateTest.moc"
