// Chunked byte stores for stream data: the inflated and normalised outputs
// of one receive are collected in a CByteBufferStore and scanned chunk by
// chunk, never joined.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CByteBufferStore {
public:
    struct Chunk {
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t used = 0;
        std::size_t capacity = 0;
    };

    CByteBufferStore() = default;
    virtual ~CByteBufferStore() = default;
    CByteBufferStore(const CByteBufferStore&) = delete;
    CByteBufferStore& operator=(const CByteBufferStore&) = delete;

    // Copies COPY_LENGTH bytes (LENGTH when negative) of DATA into the last
    // chunk when they fit there, otherwise into a new chunk of at least
    // max(LENGTH, 128) bytes. False when memory ran out (nothing added).
    virtual bool Append(const std::uint8_t* data, std::size_t length, std::ptrdiff_t copyLength = -1);
    // Appends a chunk that takes ownership of BLOCK (CAPACITY bytes, USED of
    // them in use; CAPACITY when negative).
    virtual void AddChunk(std::unique_ptr<std::uint8_t[]> block, std::size_t capacity, std::ptrdiff_t used = -1);
    // Frees every chunk and keeps TAG.
    virtual void Reset(std::uint32_t tag = 0);

    std::size_t TotalBytes() const { return m_total; }
    std::size_t ChunkCount() const { return m_chunks.size(); }
    const std::vector<Chunk>& Chunks() const { return m_chunks; }
    std::vector<Chunk>& Chunks() { return m_chunks; }
    std::uint32_t Tag() const { return m_tag; }
    // One contiguous copy of every used byte (empty when there is none).
    std::vector<std::uint8_t> Flatten() const;

protected:
    void Recount();

    std::vector<Chunk> m_chunks;
    std::size_t m_total = 0;
    std::uint32_t m_tag = 0;
};

// A store whose first chunk is a 256-byte window: Slide keeps the last 256
// bytes of everything in it and frees the rest.
class CByteBufferSlideWindow : public CByteBufferStore {
public:
    static constexpr std::size_t kWindowSize = 256;

    CByteBufferSlideWindow();
    void Reset(std::uint32_t tag = 0) override;
    // Adds a new empty chunk of window size.
    virtual void AddWindowChunk();
    // With more than one chunk: moves the last 256 bytes of the content into
    // the window chunk and frees every later chunk. Returns the bytes kept.
    virtual std::size_t Slide();
};
