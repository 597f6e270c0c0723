#include "kit/scan_view.h"

#include "kit/byte_buffer.h"

#include <algorithm>
#include <cstring>

namespace nfkit {

void ScanView::AddStore(CByteBufferStore& store)
{
    for (auto& chunk : store.Chunks())
        Add(chunk.data.get(), chunk.used);
}

std::uint8_t ScanView::At(std::size_t pos) const
{
    for (const ViewPiece& piece : m_pieces) {
        if (pos < piece.length)
            return piece.data[pos];
        pos -= piece.length;
    }
    return 0;
}

void CarryOver::BeginView(ScanView& view)
{
    view.Clear();
    if (m_length == 0)
        return;
    std::memcpy(m_scratch, m_bytes, m_length);
    view.Add(m_scratch, m_length);
    view.SetCarriedBytes(m_length);
}

void CarryOver::Update(const ScanView& view)
{
    const std::size_t keep = std::min(kCarryOverSize, view.TotalBytes());
    // Collect the last KEEP bytes walking back over the pieces; the view may
    // begin with this object's own scratch block, so gather into a temporary.
    std::uint8_t kept[kCarryOverSize];
    std::size_t at = keep;
    const auto& pieces = view.Pieces();
    for (std::size_t i = pieces.size(); i-- > 0 && at > 0;) {
        const std::size_t take = std::min(at, pieces[i].length);
        std::memcpy(kept + at - take, pieces[i].data + pieces[i].length - take, take);
        at -= take;
    }
    std::memcpy(m_bytes, kept, keep);
    m_length = keep;
}

void AddReceiveBuffers(ScanView& view, const FilterBuffer* buffers, std::uint32_t count, std::size_t bytes)
{
    for (std::uint32_t i = 0; i < count && bytes > 0; ++i) {
        if (buffers[i].buf == nullptr)
            break;  // the bytes after it cannot be placed
        const std::size_t n = std::min<std::size_t>(buffers[i].len, bytes);
        view.Add(reinterpret_cast<std::uint8_t*>(buffers[i].buf), n);
        bytes -= n;
    }
}

}  // namespace nfkit
