// A host whose workbooks are built in the test, a reporter that records, and run controls
// that answer with set choices and record what the engine shows.
#pragma once

#include "engine/Host.h"
#include "engine/RunControls.h"
#include "engine/Split.h"
#include "support/Error.h"
#include "support/ErrorReport.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sheetfray::testing {

// One sheet of a fake workbook: a builder callback fills it, or it is a chart sheet.
struct FakeSheet
{
    std::string name;
    std::function<void(engine::SheetBuilder&)> fill;
    bool chart = false;
};

struct FakeBook
{
    std::vector<FakeSheet> sheets;
    std::shared_ptr<engine::WorkbookStyles> styles = std::make_shared<engine::WorkbookStyles>();
    bool inParts = false; // sheets are handed to the walks a row at a time
    // In parts: sets the summary's counts, as a reader's first reading would have them.
    std::function<void(engine::SheetSummary&)> counts = {};
    // In parts: the passes over a sheet's parts after the first (SheetParts::again).
    std::shared_ptr<int> passes = std::make_shared<int>(0);
};

// The parts of a sheet a row each, as a reader that streams hands them over.
class RowByRowParts final : public engine::SheetParts
{
public:
    explicit RowByRowParts(const engine::Sheet& whole, std::shared_ptr<int> passes = nullptr)
        : m_passes(std::move(passes))
    {
        m_summary = engine::summaryOf(whole);
        m_summary.columnCells.assign(static_cast<std::size_t>(whole.usedRange().lastColumn) + 1, 0);
        engine::SheetBuilder builder(whole.name(), whole.sharedStyles());
        builder.allowRows(std::max(engine::MaxRows, whole.usedRange().lastRow));
        const std::span<const engine::StoredCell> cells = whole.cells();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            builder.addCopy(whole, cells[i]);
            ++m_summary.columnCells[static_cast<std::size_t>(cells[i].column)];
            if (i + 1 == cells.size() || cells[i + 1].row != cells[i].row) {
                m_parts.push_back(builder.finishPart(whole.usedRange()));
            }
        }
        if (m_parts.empty()) {
            m_parts.push_back(builder.finishPart(whole.usedRange()));
        }
    }

    const engine::SheetSummary& summary() const override { return m_summary; }

    std::optional<engine::Sheet> next() override
    {
        if (m_next == m_parts.size()) {
            return std::nullopt;
        }
        return m_parts[m_next++];
    }

    // Sets the summary's counts, as a reader's first reading would have them.
    void setCounts(const std::function<void(engine::SheetSummary&)>& counts) { counts(m_summary); }

    std::unique_ptr<engine::SheetParts> again() const override
    {
        if (m_passes) {
            ++*m_passes;
        }
        auto copy = std::make_unique<RowByRowParts>(*this);
        copy->m_next = 0;
        return copy;
    }

private:
    engine::SheetSummary m_summary;
    std::vector<engine::Sheet> m_parts;
    std::size_t m_next = 0;
    std::shared_ptr<int> m_passes;
};

// Fills a sheet from a table of texts; an empty text leaves the position without a cell.
inline std::function<void(engine::SheetBuilder&)>
table(std::vector<std::vector<std::string>> rows, std::int32_t top = 1, std::int32_t left = 1)
{
    return [rows = std::move(rows), top, left](engine::SheetBuilder& builder) {
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                if (!rows[r][c].empty()) {
                    builder.addText(top + static_cast<std::int32_t>(r),
                                    left + static_cast<std::int32_t>(c),
                                    rows[r][c],
                                    0);
                }
            }
        }
    };
}

class FakeWorkbook : public engine::Workbook
{
public:
    FakeWorkbook(std::string name, const FakeBook& book)
        : m_name(std::move(name))
        , m_book(book)
    {}

    std::string_view name() const override { return m_name; }

    std::int32_t sheetCount() const override
    {
        return static_cast<std::int32_t>(m_book.sheets.size());
    }

    std::string_view sheetName(std::int32_t index) const override
    {
        return m_book.sheets.at(static_cast<std::size_t>(index - 1)).name;
    }

    engine::Sheet loadSheet(std::int32_t index) override
    {
        const FakeSheet& sheet = m_book.sheets.at(static_cast<std::size_t>(index - 1));
        if (sheet.chart) {
            throw SheetWithoutCells(
                ReadError::Reason::ChartSheet, {}, {.file = m_name, .sheet = sheet.name});
        }
        engine::SheetBuilder builder(sheet.name, m_book.styles);
        if (sheet.fill) {
            sheet.fill(builder);
        }
        return builder.finish();
    }

    std::unique_ptr<engine::SheetParts> loadSheetInParts(std::int32_t index) override
    {
        if (!m_book.inParts) {
            return engine::Workbook::loadSheetInParts(index);
        }
        auto parts = std::make_unique<RowByRowParts>(loadSheet(index), m_book.passes);
        if (m_book.counts) {
            parts->setCounts(m_book.counts);
        }
        return parts;
    }

private:
    std::string m_name;
    const FakeBook& m_book;
};

// Workbooks by full path; any other path cannot be opened.
class FakeHostFactory : public engine::HostFactory, public engine::Host
{
public:
    std::map<std::string, FakeBook> books;
    bool failToCreate = false;
    int created = 0;

    std::unique_ptr<engine::Host> create() override
    {
        if (failToCreate) {
            throw Error("the spreadsheet host cannot be created");
        }
        ++created;

        struct Instance : engine::Host
        {
            explicit Instance(FakeHostFactory& owner)
                : factory(owner)
            {}

            std::unique_ptr<engine::Workbook> open(const std::string& path) override
            {
                return factory.open(path);
            }

            FakeHostFactory& factory;
        };

        return std::make_unique<Instance>(*this);
    }

    std::unique_ptr<engine::Workbook> open(const std::string& path) override
    {
        const auto it = books.find(path);
        if (it == books.end()) {
            throw ReadError(ReadError::Reason::FileMissing, {}, {.file = path});
        }
        return std::make_unique<FakeWorkbook>(path.substr(path.rfind('/') + 1), it->second);
    }
};

class RecordingReporter : public Reporter
{
public:
    std::vector<ErrorReport> reports;

    void report(const ErrorReport& report) override { reports.push_back(report); }
};

class RecordingControls : public engine::RunControls
{
public:
    bool spreadsheet = false;
    engine::NamingScheme scheme = engine::NamingScheme::FileNamePlusNumber;
    std::vector<std::string> captions;
    std::vector<double> fractions;
    int busyCalls = 0;
    int yields = 0;
    // Called at every yield, as a user clicking during a run would act.
    std::function<void()> onYield;

    bool isSpreadsheetKind() override { return spreadsheet; }

    engine::NamingScheme namingScheme() override { return scheme; }

    void setBusy() override { ++busyCalls; }

    void setProgress(const engine::Progress& progress) override
    {
        captions.push_back(engine::progressCaption(progress));
        fractions.push_back(progress.fraction());
    }

    void yield() override
    {
        ++yields;
        if (onYield) {
            onYield();
        }
    }

    // The split stops after this many yields; 0 never stops it.
    int stopAfterYields = 0;

    bool stopRequested() override { return stopAfterYields > 0 && yields >= stopAfterYields; }
};

// Everything a split takes besides its arguments, as tests set it up: the fake host, controls
// and reporter that record, UTF-8 and en-US unless a test says otherwise, and a run of its own.
struct SplitHarness
{
    FakeHostFactory hosts;
    RecordingControls controls;
    RecordingReporter reporter;
    engine::CodePage codePage = engine::CodePage::utf8();
    engine::format::ValueLocale locale = engine::format::ValueLocale::enUS();
    engine::RunOutputs outputs;
    std::optional<engine::SplitChoices> choices; // none: the window's choices alone

    engine::SplitContext context()
    {
        engine::SplitContext made{hosts, controls, reporter, codePage, locale, outputs};
        made.choices = choices ? &*choices : nullptr;
        return made;
    }
};

} // namespace sheetfray::testing
