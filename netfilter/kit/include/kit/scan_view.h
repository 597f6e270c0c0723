// A view of stream bytes as the matcher sees them: a list of pieces scanned
// as one sequence, never joined. A view starts with its carry-over (the last
// 256 bytes of the previous list of the same view) so that a signature split
// across two receives is found in the second.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class CByteBufferStore;

namespace nfkit {

inline constexpr std::size_t kCarryOverSize = 256;

struct ViewPiece {
    std::uint8_t* data = nullptr;
    std::size_t length = 0;
};

class ScanView {
public:
    void Clear()
    {
        m_pieces.clear();
        m_total = 0;
        m_carried = 0;
    }
    void Add(std::uint8_t* data, std::size_t length)
    {
        if (length == 0)
            return;
        m_pieces.push_back({data, length});
        m_total += length;
    }
    // Adds the store's chunks as pieces.
    void AddStore(CByteBufferStore& store);

    const std::vector<ViewPiece>& Pieces() const { return m_pieces; }
    std::size_t TotalBytes() const { return m_total; }
    // How many leading bytes are the carry-over of the previous list.
    std::size_t CarriedBytes() const { return m_carried; }
    void SetCarriedBytes(std::size_t n) { m_carried = n; }

    // The byte at POS (POS < TotalBytes()).
    std::uint8_t At(std::size_t pos) const;

private:
    std::vector<ViewPiece> m_pieces;
    std::size_t m_total = 0;
    std::size_t m_carried = 0;
};

// The last bytes of one view, kept between receives.
class CarryOver {
public:
    std::size_t Length() const { return m_length; }
    const std::uint8_t* Bytes() const { return m_bytes; }
    void Clear() { m_length = 0; }

    // Starts VIEW with a scratch copy of the carried bytes, so that a write
    // into the view (disarming) never changes the carry-over itself.
    void BeginView(ScanView& view);
    // Keeps the last 256 bytes of VIEW (its carried bytes included).
    void Update(const ScanView& view);

private:
    std::size_t m_length = 0;
    std::uint8_t m_bytes[kCarryOverSize] = {};
    std::uint8_t m_scratch[kCarryOverSize] = {};
};

// Adds the receive's buffers to VIEW, each cut so that they add up to at most
// BYTES. A buffer without data ends the list.
void AddReceiveBuffers(ScanView& view, const FilterBuffer* buffers, std::uint32_t count, std::size_t bytes);

}  // namespace nfkit
