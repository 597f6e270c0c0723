// Inflation of a gzip-encoded HTTP body as it streams in, one receive at a
// time, with zlib's raw inflate (32 KB window) behind a skipped gzip header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CByteBufferStore;

namespace nfkit {

// The most inflated bytes one receive may produce. A receive holds at most
// 131072 bytes; HTML inflates to about ten times its size, so this is far
// above any honest body and keeps a gzip bomb from expanding without bound.
inline constexpr std::size_t kMaxInflatedPerReceive = 4u << 20;

enum class GzipStart {
    Started,
    NoMagic,           // no 1F 8B 08 in the data: not gzip after all
    HeaderIncomplete,  // the member header does not fit in the data
};

// Where the deflate data of a gzip member starts in DATA, when its header
// (RFC 1952, starting at the first 1F 8B 08) fits in it. After the header a
// CR LF and the next line of at most 6 characters up to its LF (a chunk-size
// line) are skipped too.
GzipStart FindDeflateData(const std::uint8_t* data, std::size_t length, std::size_t* deflateOffset);

class GzipInflater {
public:
    GzipInflater();
    ~GzipInflater();
    GzipInflater(const GzipInflater&) = delete;
    GzipInflater& operator=(const GzipInflater&) = delete;

    // Starts raw inflation; false when zlib could not be set up.
    bool Start();
    bool IsStarted() const { return m_started; }
    bool IsFinished() const { return m_finished; }

    struct Result {
        std::size_t produced = 0;
        bool error = false;   // the deflate data is broken
        bool capped = false;  // BUDGET ran out with output still to come
    };
    // Inflates LENGTH bytes of INPUT into new chunks of OUT (each twice the
    // input size, at least 1 KB), producing at most BUDGET bytes; BUDGET is
    // reduced by what was produced.
    Result Inflate(const std::uint8_t* input, std::size_t length, CByteBufferStore& out, std::size_t& budget);

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_started = false;
    bool m_finished = false;
};

}  // namespace nfkit
