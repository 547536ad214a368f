// Reading a sheet in bands of rows, so that a walk over its rows holds one band at a time.
#pragma once

#include "engine/Host.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace sheetfray::engine::readers {

using HandOver = std::function<void(Sheet)>;

// Cuts a sheet whose rows come in order into bands of whole rows: before a cell of a new
// row, once the builder holds BandCells cells or BandBytes of text, they go to handOver as
// one part. A cell of an
// earlier row than the one before it throws OutOfOrder: such a sheet is read whole.
class RowBands
{
public:
    struct OutOfOrder
    {};

    static constexpr std::size_t BandCells = std::size_t{1} << 16;
    static constexpr std::size_t BandBytes = std::size_t{4} << 20;

    // Every band's used range is at least atLeast; a test may cut bands of fewer cells.
    RowBands(SheetBuilder& builder,
             HandOver handOver,
             UsedRange atLeast = {},
             std::size_t bandCells = BandCells);

    void beforeCell(std::int32_t row);
    // Hands over the last band, empty or not.
    void finish();

private:
    SheetBuilder& m_builder;
    HandOver m_handOver;
    UsedRange m_atLeast;
    std::size_t m_bandCells;
    std::int32_t m_row = 0;
};

// Adds up the summaries of the bands handed to it: the first of a reader's two readings.
class BandTally
{
public:
    [[nodiscard]] HandOver handOver();

    [[nodiscard]] const SheetSummary& summary() const { return m_summary; }

    // How many bands were handed over: a sheet of one is better held whole, its bytes let go.
    [[nodiscard]] std::size_t bands() const { return m_bands; }

private:
    SheetSummary m_summary;
    std::size_t m_bands = 0;
};

// The parts of a sheet that a reading on a thread of its own hands over: it runs one band
// ahead of the walk and waits for the walk to take it. What the reading throws reaches the
// caller of next(). Destroying the parts stops the reading at its next band.
class ThreadedSheetParts final : public SheetParts
{
public:
    using Reading = std::function<void(const HandOver&)>;

    // Throws std::system_error when no thread can be started.
    ThreadedSheetParts(SheetSummary summary, Reading reading);
    ~ThreadedSheetParts() override;
    ThreadedSheetParts(const ThreadedSheetParts&) = delete;
    ThreadedSheetParts& operator=(const ThreadedSheetParts&) = delete;

    [[nodiscard]] const SheetSummary& summary() const override { return m_summary; }

    [[nodiscard]] std::optional<Sheet> next() override;

    [[nodiscard]] std::unique_ptr<SheetParts> again() const override;

private:
    struct Stopped
    {};

    void run();
    void put(Sheet part);

    SheetSummary m_summary;
    Reading m_reading;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Sheet> m_ready;
    std::exception_ptr m_failure;
    bool m_done = false;
    bool m_stop = false;
    std::thread m_thread; // last: started once the rest is ready
};

} // namespace sheetfray::engine::readers
