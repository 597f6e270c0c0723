#include "kit/normaliser.h"

#include "kit/byte_buffer.h"

namespace nfkit {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool AllHex(const std::string& s, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i) {
        if (HexValue(s[i]) < 0)
            return false;
    }
    return true;
}

bool IsRemoved(std::uint8_t b)
{
    return b == '\r' || b == '\n' || b == '\t' || b == '%' || b == 0;
}

}  // namespace

void Normaliser::Normalise(const std::uint8_t* data, std::size_t length, CByteBufferStore& out)
{
    m_input.assign(m_pending);
    m_input.append(reinterpret_cast<const char*>(data), length);
    m_pending.clear();
    m_output.clear();

    const std::string& in = m_input;
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = in[i];
        if (c == '%') {
            const std::size_t left = n - i - 1;  // characters after the "%"
            // "%u" and four hexadecimal digits: the byte of the last two.
            if (left >= 1 && (in[i + 1] == 'u' || in[i + 1] == 'U')) {
                if (left >= 5 && AllHex(in, i + 2, i + 6)) {
                    m_output.push_back(static_cast<char>(HexValue(in[i + 4]) * 16 + HexValue(in[i + 5])));
                    i += 6;
                    continue;
                }
                if (left < 5 && AllHex(in, i + 2, n)) {
                    m_pending.assign(in, i, std::string::npos);  // cut off: wait for the rest
                    break;
                }
            } else if (left >= 2 && AllHex(in, i + 1, i + 3)) {
                m_output.push_back(static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2])));
                i += 3;
                continue;
            } else if (left < 2 && AllHex(in, i + 1, n)) {
                m_pending.assign(in, i, std::string::npos);
                break;
            }
        }
        m_output.push_back(c);
        ++i;
    }

    // Filter in place: clear the high bit, drop the removed characters.
    std::size_t kept = 0;
    for (char ch : m_output) {
        const auto b = static_cast<std::uint8_t>(static_cast<std::uint8_t>(ch) & 0x7F);
        if (!IsRemoved(b))
            m_output[kept++] = static_cast<char>(b);
    }
    m_output.resize(kept);

    if (m_output.size() == n || m_output.empty())
        return;
    out.Append(reinterpret_cast<const std::uint8_t*>(m_output.data()), m_output.size());
}

}  // namespace nfkit
