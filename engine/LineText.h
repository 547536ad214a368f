// The text of a row or column of a sheet, as a split writes it, and columns rendered ahead.
#pragma once

#include "engine/Sheet.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sheetfray::engine {

// Every position's displayed text followed by the separator; positions without a stored
// cell give the separator alone.
struct LineText
{
    std::string text;
    std::vector<std::size_t> separatorOffsets; // where each separator starts in text
    std::size_t firstLength = 0; // the first position's text
    std::vector<const StoredCell*> cells; // room for a column's cells, kept between columns

    // Starts again with what is kept of the last line's room.
    void clear()
    {
        text.clear();
        separatorOffsets.clear();
        firstLength = 0;
    }
};

// Appends a row's text: cells are the row's stored cells, left to right.
void renderRow(const Sheet& sheet,
               std::span<const StoredCell> cells,
               std::int32_t positions,
               std::string_view separator,
               LineText& out);

// Appends a column's text, top to bottom.
void renderColumn(const Sheet& sheet,
                  std::int32_t column,
                  std::int32_t positions,
                  std::string_view separator,
                  LineText& out);

// Renders columns on a second thread while the walk renders others: a column of a tall
// sheet spends most of its time in its cells' texts. The walk takes the even columns from
// here and renders the odd ones itself (see next()), so both threads render at once.
class ColumnsAhead
{
public:
    // Worth a thread from this many rows on.
    static constexpr std::int32_t MinimumPositions = 4096;

    // Throws std::system_error when no thread can be started.
    ColumnsAhead(const Sheet& sheet, std::int32_t positions, std::string_view separator);
    ~ColumnsAhead();
    ColumnsAhead(const ColumnsAhead&) = delete;
    ColumnsAhead& operator=(const ColumnsAhead&) = delete;

    // Column `column` of `columns` into out: taken from the thread when it rendered it
    // (rethrowing its failure, with the text it had so far), else rendered here. Either way
    // the thread is given the next column that the walk will not render itself.
    void next(std::int32_t column, std::int32_t columns, LineText& out);

private:
    void start(std::int32_t column); // the thread is idle
    void run();

    const Sheet& m_sheet;
    std::int32_t m_positions;
    std::string_view m_separator;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::int32_t m_column = 0; // given to the thread; 0: none
    bool m_done = false; // the thread finished m_column
    bool m_stopping = false;
    LineText m_line;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

} // namespace sheetfray::engine
