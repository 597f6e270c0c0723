// Normalisation of HTML text for the second scanning pass: escapes are
// undone ("%3C" and "%u003C" both become "<"), every byte loses its high bit,
// and carriage return, line feed, tab, "%" and NUL are removed, so obfuscated
// script matches the plain signature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CByteBufferStore;

namespace nfkit {

class Normaliser {
public:
    // Normalises one piece (after the pending escape text of the previous
    // piece) and appends the result to OUT, unless the result is exactly as
    // long as its input, which means the piece held nothing to normalise. An
    // escape cut off by the end of the piece is kept for the next piece.
    void Normalise(const std::uint8_t* data, std::size_t length, CByteBufferStore& out);

    void Reset() { m_pending.clear(); }
    const std::string& Pending() const { return m_pending; }

private:
    std::string m_pending;
    std::string m_input;
    std::string m_output;
};

}  // namespace nfkit
