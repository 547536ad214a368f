#include "engine/LineText.h"

#include <utility>

namespace sheetfray::engine {

namespace {

// cellAt(k) is the k-th stored cell of the line, positionOf its place in the line.
template <typename CellAt, typename PositionOf>
void render(const Sheet& sheet,
            std::size_t stored,
            CellAt cellAt,
            PositionOf positionOf,
            std::int32_t positions,
            std::string_view separator,
            LineText& out)
{
    // Room for the whole line first: a line of a gigabyte that grew as it is appended would
    // be copied into twice its size.
    std::size_t length = out.text.size() + static_cast<std::size_t>(positions) * separator.size();
    const SharedStrings& sharedStrings = sheet.styles().sharedStrings;
    for (std::size_t k = 0; k < stored; ++k) {
        const StoredCell& cell = cellAt(k);
        if (cell.kind == CellKind::Text || cell.kind == CellKind::Error) {
            length += cell.data.text.length;
        } else if (cell.kind == CellKind::SharedText
                   && cell.data.sharedIndex < sharedStrings.size()) {
            length += sharedStrings[cell.data.sharedIndex].size();
        } else {
            length += 32; // a number as shown, mostly
        }
    }
    out.text.reserve(length);
    std::size_t next = 0;
    for (std::int32_t position = 1; position <= positions; ++position) {
        if (next < stored) {
            const StoredCell& cell = cellAt(next);
            if (positionOf(cell) == position) {
                sheet.appendText(cell, out.text);
                ++next;
            }
        }
        if (position == 1) {
            out.firstLength = out.text.size();
        }
        out.separatorOffsets.push_back(out.text.size());
        out.text.append(separator);
    }
}

} // namespace

void renderRow(const Sheet& sheet,
               std::span<const StoredCell> cells,
               std::int32_t positions,
               std::string_view separator,
               LineText& out)
{
    render(
        sheet,
        cells.size(),
        [&](std::size_t k) -> const StoredCell& { return cells[k]; },
        [](const StoredCell& cell) { return cell.column; },
        positions,
        separator,
        out);
}

void renderColumn(const Sheet& sheet,
                  std::int32_t column,
                  std::int32_t positions,
                  std::string_view separator,
                  LineText& out)
{
    sheet.columnCells(column, out.cells);
    render(
        sheet,
        out.cells.size(),
        [&](std::size_t k) -> const StoredCell& { return *out.cells[k]; },
        [](const StoredCell& cell) { return cell.row; },
        positions,
        separator,
        out);
}

ColumnsAhead::ColumnsAhead(const Sheet& sheet, std::int32_t positions, std::string_view separator)
    : m_sheet(sheet)
    , m_positions(positions)
    , m_separator(separator)
{
    // The column index is built on first use; here, before two threads use it.
    sheet.columnCells(1, m_line.cells);
    m_thread = std::thread([this] { run(); });
}

ColumnsAhead::~ColumnsAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ColumnsAhead::next(std::int32_t column, std::int32_t columns, LineText& out)
{
    std::unique_lock lock(m_mutex);
    if (m_column == column) {
        m_changed.wait(lock, [this] { return m_done; });
        std::swap(out, m_line);
        const std::exception_ptr failure = std::exchange(m_failure, nullptr);
        m_column = 0;
        if (column + 2 <= columns) {
            start(column + 2); // the walk renders column + 1 meanwhile
        }
        lock.unlock();
        if (failure) {
            std::rethrow_exception(failure);
        }
        return;
    }
    if (m_column == 0 && column + 1 <= columns) {
        start(column + 1);
    }
    lock.unlock();
    renderColumn(m_sheet, column, m_positions, m_separator, out);
}

void ColumnsAhead::start(std::int32_t column)
{
    m_column = column;
    m_done = false;
    m_changed.notify_all();
}

void ColumnsAhead::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || (m_column != 0 && !m_done); });
        if (m_stopping) {
            return;
        }
        const std::int32_t column = m_column;
        lock.unlock();
        std::exception_ptr failure;
        m_line.clear();
        try {
            renderColumn(m_sheet, column, m_positions, m_separator, m_line);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_failure = failure;
        m_done = true;
        m_changed.notify_all();
    }
}

} // namespace sheetfray::engine
