// Normalisation of HTML text for the second scanning pass: escapes are
// undone ("%3C" and "%u003C" both become "<"), every byte loses its high bit,
// and carriage return, line feed, tab, "%" and NUL are removed, so obfuscated
// script matches the plain signature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CByteBufferStore;

namespace nfkit {

class Normaliser {
public:
    // Normalises one piece (after the pending escape text of the previous
    // piece) and appends the result to OUT as a new chunk, unless the result
    // is exactly as long as its input, which means the piece held nothing to
    // normalise. An escape cut off by the end of the piece is kept for the
    // next piece.
    void Normalise(const std::uint8_t* data, std::size_t length, CByteBufferStore& out);

    void Reset() { m_pendingLength = 0; }
    std::string_view Pending() const { return {m_pending, m_pendingLength}; }

private:
    // Normalises IN into OUT (room for LENGTH bytes); returns the bytes written
    // and keeps a cut-off escape as pending text.
    std::size_t Run(const std::uint8_t* in, std::size_t length, std::uint8_t* out);
    void KeepPending(const std::uint8_t* text, std::size_t length);

    // At most "%u" and three digits wait for the next piece.
    char m_pending[8] = {};
    std::size_t m_pendingLength = 0;
    std::string m_joined;  // pending text and a piece, when there was pending text
    std::unique_ptr<std::uint8_t[]> m_spare;  // an output block not handed to a store
    std::size_t m_spareSize = 0;
};

}  // namespace nfkit
