#include "kit/normaliser.h"

#include "kit/byte_buffer.h"
#include "win/hex.h"

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nfkit {

namespace {

bool AllHex(const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (win::HexDigitValue(p[i]) < 0)
            return false;
    }
    return true;
}

// After the high bit is cleared: the bytes the filter removes.
inline bool IsRemoved(std::uint8_t b)
{
    return b == '\r' || b == '\n' || b == '\t' || b == '%' || b == 0;
}

// Bytes that are not copied unchanged: escapes, removed bytes, high bits.
inline bool NeedsWork(std::uint8_t b)
{
    return b >= 0x80 || IsRemoved(b);
}

// How many leading bytes of IN[0, N) need no work.
inline std::size_t PlainRun(const std::uint8_t* in, std::size_t n)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i pct = _mm_set1_epi8('%');
    const __m128i nul = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, pct)), _mm_cmpeq_epi8(v, nul)));
        // The sign bit of each byte marks the high-bit bytes.
        const int mask = _mm_movemask_epi8(_mm_or_si128(hit, v));
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    while (i < n && !NeedsWork(in[i]))
        ++i;
    return i;
}

}  // namespace

void Normaliser::KeepPending(const std::uint8_t* text, std::size_t length)
{
    // The callers pass at most 5 bytes ("%u" and three digits).
    m_pendingLength = length < sizeof m_pending ? length : sizeof m_pending;
    std::memcpy(m_pending, text, m_pendingLength);
}

std::size_t Normaliser::Run(const std::uint8_t* in, std::size_t n, std::uint8_t* out)
{
    std::size_t i = 0;
    std::size_t k = 0;
    while (i < n) {
        const std::size_t plain = PlainRun(in + i, n - i);
        std::memcpy(out + k, in + i, plain);
        i += plain;
        k += plain;
        if (i >= n)
            break;
        std::uint8_t b = in[i];
        if (b == '%') {
            const std::size_t left = n - i - 1;  // bytes after the "%"
            if (left >= 1 && (in[i + 1] == 'u' || in[i + 1] == 'U')) {
                // "%u" and four hexadecimal digits: the byte of the last two.
                if (left >= 5 && AllHex(in + i + 2, 4)) {
                    b = static_cast<std::uint8_t>(win::HexByteValue(in[i + 4], in[i + 5]));
                    i += 6;
                    goto filtered;
                }
                if (left < 5 && AllHex(in + i + 2, left - 1)) {
                    KeepPending(in + i, n - i);  // wait for the rest
                    return k;
                }
            } else if (left >= 2 && AllHex(in + i + 1, 2)) {
                b = static_cast<std::uint8_t>(win::HexByteValue(in[i + 1], in[i + 2]));
                i += 3;
                goto filtered;
            } else if (left < 2 && AllHex(in + i + 1, left)) {
                KeepPending(in + i, n - i);
                return k;
            }
        }
        ++i;
    filtered:
        b &= 0x7F;
        if (!IsRemoved(b))
            out[k++] = b;
    }
    return k;
}

void Normaliser::Normalise(const std::uint8_t* data, std::size_t length, CByteBufferStore& out)
{
    const std::uint8_t* in = data;
    std::size_t n = length;
    if (m_pendingLength > 0) {
        m_joined.assign(m_pending, m_pendingLength);
        m_joined.append(reinterpret_cast<const char*>(data), length);
        m_pendingLength = 0;
        in = reinterpret_cast<const std::uint8_t*>(m_joined.data());
        n = m_joined.size();
    }
    if (n == 0)
        return;
    if (m_spareSize < n) {
        m_spare.reset(new (std::nothrow) std::uint8_t[n]);
        m_spareSize = m_spare ? n : 0;
        if (!m_spare)
            return;  // a view that cannot be built is left empty
    }
    const std::size_t written = Run(in, n, m_spare.get());
    if (written == n || written == 0)
        return;  // nothing changed: the first pass saw these bytes already
    out.AddChunk(std::move(m_spare), m_spareSize, static_cast<std::ptrdiff_t>(written));
    m_spareSize = 0;
}

}  // namespace nfkit
