#include "engine/readers/SheetBands.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace sheetfray::engine::readers {

RowBands::RowBands(SheetBuilder& builder,
                   HandOver handOver,
                   UsedRange atLeast,
                   std::size_t bandCells)
    : m_builder(builder)
    , m_handOver(std::move(handOver))
    , m_atLeast(atLeast)
    , m_bandCells(bandCells)
{}

void RowBands::beforeCell(std::int32_t row)
{
    if (row < m_row) {
        throw OutOfOrder{};
    }
    if (row > m_row
        && (m_builder.cellCount() >= m_bandCells || m_builder.textBytes() >= BandBytes)) {
        m_handOver(m_builder.finishPart(m_atLeast));
    }
    m_row = row;
}

void RowBands::finish()
{
    m_handOver(m_builder.finishPart(m_atLeast));
}

HandOver BandTally::handOver()
{
    return [this](Sheet part) {
        ++m_bands;
        const SheetSummary band = summaryOf(part);
        m_summary.usedRange.lastRow = std::max(m_summary.usedRange.lastRow, band.usedRange.lastRow);
        m_summary.usedRange.lastColumn =
            std::max(m_summary.usedRange.lastColumn, band.usedRange.lastColumn);
        m_summary.storedCells += band.storedCells;
        std::vector<std::uint64_t>& columns = m_summary.columnCells;
        std::vector<std::uint64_t>& textBytes = m_summary.columnTextBytes;
        columns.resize(static_cast<std::size_t>(m_summary.usedRange.lastColumn) + 1);
        textBytes.resize(columns.size());
        for (const StoredCell& cell : part.cells()) {
            const auto c = static_cast<std::size_t>(cell.column);
            ++columns[c];
            if (cell.kind == CellKind::Text || cell.kind == CellKind::Error) {
                textBytes[c] += part.value(cell).text.size();
            }
        }
        m_summary.valuedCells += band.valuedCells;
        constexpr std::uint32_t Most = std::numeric_limits<std::uint32_t>::max();
        m_summary.formulasWithoutResult =
            band.formulasWithoutResult >= Most - m_summary.formulasWithoutResult
            ? Most
            : m_summary.formulasWithoutResult + band.formulasWithoutResult;
    };
}

ThreadedSheetParts::ThreadedSheetParts(SheetSummary summary, Reading reading)
    : m_summary(summary)
    , m_reading(std::move(reading))
    , m_thread([this] { run(); })
{}

ThreadedSheetParts::~ThreadedSheetParts()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ThreadedSheetParts::run()
{
    std::exception_ptr failure;
    try {
        m_reading([this](Sheet part) { put(std::move(part)); });
    } catch (const Stopped&) {
    } catch (...) {
        failure = std::current_exception();
    }
    {
        const std::lock_guard lock(m_mutex);
        m_failure = failure;
        m_done = true;
    }
    m_changed.notify_all();
}

void ThreadedSheetParts::put(Sheet part)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_ready || m_stop; });
    if (m_stop) {
        throw Stopped{};
    }
    m_ready.emplace(std::move(part));
    lock.unlock();
    m_changed.notify_all();
}

std::optional<Sheet> ThreadedSheetParts::next()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_ready || m_done; });
    if (m_ready) {
        std::optional<Sheet> part = std::exchange(m_ready, std::nullopt);
        lock.unlock();
        m_changed.notify_all();
        return part;
    }
    if (m_failure) {
        std::rethrow_exception(std::exchange(m_failure, nullptr));
    }
    return std::nullopt;
}

std::unique_ptr<SheetParts> ThreadedSheetParts::again() const
{
    return std::make_unique<ThreadedSheetParts>(m_summary, m_reading);
}

} // namespace sheetfray::engine::readers
