// Reading a stream on a second thread, so that inflating a part overlaps parsing it.
#pragma once

#include "engine/readers/XmlStream.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace sheetfray::engine::readers {

// Wraps a ByteReader: after a first block read in the caller's thread, a worker thread reads
// the blocks ahead while the caller uses the earlier ones. A stream that ends within the first
// block never starts the thread. What the source throws reaches the caller at the point of
// the stream where it was thrown. The source is not used by two threads at once, and not
// after the ReadAhead is gone.
class ReadAhead
{
public:
    static constexpr std::size_t BlockSize = 256 * 1024;

    explicit ReadAhead(const ByteReader& source);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Fills up to size bytes of buffer; 0 at the end of the stream.
    std::size_t read(char* buffer, std::size_t size);

private:
    static constexpr int BlockCount = 3;

    struct Block
    {
        std::unique_ptr<char[]> data;
        std::size_t size = 0; // bytes in the block; 0 marks the end of the stream
        std::exception_ptr failure; // thrown by the source instead of filling the block
    };

    void work();
    // Hands the current block back to the worker and waits for the next one.
    void takeNext();

    const ByteReader& m_source;
    Block m_blocks[BlockCount];
    int m_current = 0; // the block being read by the caller
    std::size_t m_offset = 0; // in the current block
    bool m_ended = false; // the caller met the end of the stream

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_filled = 0; // blocks filled ahead of the current one, in ring order after it
    bool m_stop = false;
    std::thread m_worker;
};

} // namespace sheetfray::engine::readers
