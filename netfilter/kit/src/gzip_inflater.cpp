#include "kit/gzip_inflater.h"

#include "kit/byte_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <zlib.h>

namespace nfkit {

namespace {
constexpr std::uint8_t kFlagHeaderCrc = 0x02;
constexpr std::uint8_t kFlagExtra = 0x04;
constexpr std::uint8_t kFlagName = 0x08;
constexpr std::uint8_t kFlagComment = 0x10;
constexpr std::size_t kFixedHeader = 10;
constexpr std::size_t kChunkLineMax = 6;
constexpr std::size_t kMinBlock = 1024;
}  // namespace

GzipStart FindDeflateData(const std::uint8_t* data, std::size_t length, std::size_t* deflateOffset)
{
    static const std::uint8_t kMagic[3] = {0x1F, 0x8B, 0x08};
    const std::uint8_t* magic = length >= 3 ? std::search(data, data + length, kMagic, kMagic + 3) : data + length;
    if (magic == data + length)
        return GzipStart::NoMagic;

    std::size_t at = static_cast<std::size_t>(magic - data);
    if (length - at < kFixedHeader)
        return GzipStart::HeaderIncomplete;
    const std::uint8_t flags = data[at + 3];
    at += kFixedHeader;
    if (flags & kFlagExtra) {
        if (length - at < 2)
            return GzipStart::HeaderIncomplete;
        const std::size_t extra = static_cast<std::size_t>(data[at] | (data[at + 1] << 8));
        at += 2;
        if (length - at < extra)
            return GzipStart::HeaderIncomplete;
        at += extra;
    }
    for (std::uint8_t text : {kFlagName, kFlagComment}) {
        if (flags & text) {
            const void* nul = std::memchr(data + at, 0, length - at);
            if (nul == nullptr)
                return GzipStart::HeaderIncomplete;
            at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) + 1;
        }
    }
    if (flags & kFlagHeaderCrc) {
        if (length - at < 2)
            return GzipStart::HeaderIncomplete;
        at += 2;
    }
    if (length - at >= 2 && data[at] == '\r' && data[at + 1] == '\n') {
        const std::size_t line = at + 2;
        const std::size_t window = std::min(length - line, kChunkLineMax + 1);
        const void* lf = std::memchr(data + line, '\n', window);
        at = lf ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - data) + 1 : line;
    }
    *deflateOffset = at;
    return GzipStart::Started;
}

struct GzipInflater::Stream {
    z_stream z{};
};

GzipInflater::GzipInflater() = default;

GzipInflater::~GzipInflater()
{
    if (m_started)
        inflateEnd(&m_stream->z);
}

bool GzipInflater::Start()
{
    if (m_started)
        return true;
    m_stream.reset(new (std::nothrow) Stream);
    if (!m_stream)
        return false;
    if (inflateInit2(&m_stream->z, -MAX_WBITS) != Z_OK) {
        m_stream.reset();
        return false;
    }
    m_started = true;
    return true;
}

GzipInflater::Result GzipInflater::Inflate(const std::uint8_t* input, std::size_t length, CByteBufferStore& out,
                                           std::size_t& budget)
{
    Result result;
    if (!m_started || m_finished || length == 0)
        return result;
    z_stream& z = m_stream->z;
    z.next_in = const_cast<Bytef*>(input);
    z.avail_in = static_cast<uInt>(length);
    const std::size_t blockSize = std::max(2 * length, kMinBlock);
    for (;;) {
        if (budget == 0) {
            result.capped = true;
            break;
        }
        const std::size_t size = std::min(blockSize, budget);
        std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
        if (!block) {
            result.error = true;
            break;
        }
        z.next_out = block.get();
        z.avail_out = static_cast<uInt>(size);
        const int rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t produced = size - z.avail_out;
        if (produced > 0) {
            out.AddChunk(std::move(block), size, static_cast<std::ptrdiff_t>(produced));
            budget -= produced;
            result.produced += produced;
        }
        if (rc == Z_STREAM_END) {
            m_finished = true;
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            result.error = true;
            break;
        }
        // Done when the input is used up and zlib had room to spare.
        if (z.avail_in == 0 && z.avail_out != 0)
            break;
        if (rc == Z_BUF_ERROR && produced == 0)
            break;
    }
    z.next_in = nullptr;
    z.avail_in = 0;
    return result;
}

}  // namespace nfkit
