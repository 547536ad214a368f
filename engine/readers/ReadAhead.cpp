#include "engine/readers/ReadAhead.h"

#include <algorithm>
#include <cstring>

namespace sheetfray::engine::readers {

ReadAhead::ReadAhead(const ByteReader& source)
    : m_source(source)
{
    Block& first = m_blocks[0];
    first.data.reset(new char[BlockSize]);
    try {
        first.size = m_source(first.data.get(), BlockSize);
    } catch (...) {
        first.failure = std::current_exception();
        first.size = 0;
    }
    if (first.failure || first.size < BlockSize) {
        // Small parts (or a first read that did not fill a block): no thread for them. The
        // source is read on in this thread.
        return;
    }
    for (int i = 1; i < BlockCount; ++i) {
        m_blocks[i].data.reset(new char[BlockSize]);
    }
    m_worker = std::thread([this] { work(); });
}

ReadAhead::~ReadAhead()
{
    if (m_worker.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_worker.join();
    }
}

void ReadAhead::work()
{
    int next = 1; // the block the worker fills next
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            // Every block but the caller's may be filled ahead.
            m_changed.wait(lock, [this] { return m_stop || m_filled < BlockCount - 1; });
            if (m_stop) {
                return;
            }
        }
        Block& block = m_blocks[next];
        block.failure = nullptr;
        try {
            block.size = m_source(block.data.get(), BlockSize);
        } catch (...) {
            block.failure = std::current_exception();
            block.size = 0;
        }
        const bool done = block.size == 0;
        {
            const std::lock_guard lock(m_mutex);
            ++m_filled;
        }
        m_changed.notify_all();
        if (done) {
            return;
        }
        next = (next + 1) % BlockCount;
    }
}

void ReadAhead::takeNext()
{
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_filled > 0; });
        --m_filled;
    }
    m_changed.notify_all();
    m_current = (m_current + 1) % BlockCount;
    m_offset = 0;
}

std::size_t ReadAhead::read(char* buffer, std::size_t size)
{
    for (;;) {
        if (m_ended) {
            return 0;
        }
        Block& block = m_blocks[m_current];
        if (block.failure) {
            m_ended = true;
            std::rethrow_exception(block.failure);
        }
        if (m_offset < block.size) {
            const std::size_t n = std::min(size, block.size - m_offset);
            std::memcpy(buffer, block.data.get() + m_offset, n);
            m_offset += n;
            return n;
        }
        if (block.size == 0) {
            m_ended = true;
            return 0;
        }
        if (!m_worker.joinable()) {
            // No thread: the stream is read here, block by block.
            block.size = m_source(block.data.get(), BlockSize);
            m_offset = 0;
            continue;
        }
        takeNext();
    }
}

} // namespace sheetfray::engine::readers
