#include "kit/byte_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {
constexpr std::size_t kMinChunk = 128;
}

bool CByteBufferStore::Append(const std::uint8_t* data, std::size_t length, std::ptrdiff_t copyLength)
{
    const std::size_t n = copyLength < 0 ? length : static_cast<std::size_t>(copyLength);
    if (n == 0)
        return true;
    if (!m_chunks.empty()) {
        Chunk& last = m_chunks.back();
        if (last.capacity - last.used >= n) {
            std::memcpy(last.data.get() + last.used, data, n);
            last.used += n;
            m_total += n;
            return true;
        }
    }
    const std::size_t capacity = std::max({length, n, kMinChunk});
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[capacity]);
    if (!block)
        return false;
    std::memcpy(block.get(), data, n);
    AddChunk(std::move(block), capacity, static_cast<std::ptrdiff_t>(n));
    return true;
}

void CByteBufferStore::AddChunk(std::unique_ptr<std::uint8_t[]> block, std::size_t capacity, std::ptrdiff_t used)
{
    Chunk chunk;
    chunk.data = std::move(block);
    chunk.capacity = capacity;
    chunk.used = used < 0 ? capacity : std::min(capacity, static_cast<std::size_t>(used));
    m_total += chunk.used;
    m_chunks.push_back(std::move(chunk));
}

void CByteBufferStore::Reset(std::uint32_t tag)
{
    m_chunks.clear();
    m_total = 0;
    m_tag = tag;
}

std::vector<std::uint8_t> CByteBufferStore::Flatten() const
{
    std::vector<std::uint8_t> out;
    out.reserve(m_total);
    for (const Chunk& chunk : m_chunks)
        out.insert(out.end(), chunk.data.get(), chunk.data.get() + chunk.used);
    return out;
}

void CByteBufferStore::Recount()
{
    m_total = 0;
    for (const Chunk& chunk : m_chunks)
        m_total += chunk.used;
}

CByteBufferSlideWindow::CByteBufferSlideWindow()
{
    AddWindowChunk();
}

void CByteBufferSlideWindow::Reset(std::uint32_t tag)
{
    CByteBufferStore::Reset(tag);
    AddWindowChunk();
}

void CByteBufferSlideWindow::AddWindowChunk()
{
    AddChunk(std::unique_ptr<std::uint8_t[]>(new std::uint8_t[kWindowSize]), kWindowSize, 0);
}

std::size_t CByteBufferSlideWindow::Slide()
{
    if (m_chunks.size() <= 1)
        return m_chunks.empty() ? 0 : m_chunks.front().used;
    // Walk back from the end collecting the last 256 bytes in order.
    std::uint8_t kept[kWindowSize];
    std::size_t need = std::min(kWindowSize, m_total);
    std::size_t at = need;
    for (std::size_t i = m_chunks.size(); i-- > 0 && at > 0;) {
        const Chunk& chunk = m_chunks[i];
        const std::size_t take = std::min(at, chunk.used);
        std::memcpy(kept + at - take, chunk.data.get() + chunk.used - take, take);
        at -= take;
    }
    m_chunks.resize(1);
    Chunk& window = m_chunks.front();
    std::memcpy(window.data.get(), kept, need);
    window.used = need;
    Recount();
    return need;
}
