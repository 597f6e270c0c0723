// Hexadecimal digits in text: the one place the suite's parsers read them
// (registry tool data, the window-message table, escapes in source texts).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace win {

// The value of the hex digit C (0-9, a-f, A-F), or -1 for anything else.
// Takes char and unsigned bytes alike.
constexpr int HexDigitValue(int c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The byte that the digits HIGH and LOW spell, or -1 when either is none.
constexpr int HexByteValue(int high, int low) noexcept
{
    const int h = HexDigitValue(high);
    const int l = HexDigitValue(low);
    return h < 0 || l < 0 ? -1 : h * 16 + l;
}

// Appends the bytes that TEXT spells, two digits a byte with nothing in
// between, to BYTES. False (BYTES unchanged) for an odd number of characters
// or a character that is no hex digit.
inline bool AppendHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes)
{
    if (text.size() % 2 != 0)
        return false;
    std::vector<std::uint8_t> decoded;
    decoded.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int byte = HexByteValue(text[i], text[i + 1]);
        if (byte < 0)
            return false;
        decoded.push_back(static_cast<std::uint8_t>(byte));
    }
    bytes.insert(bytes.end(), decoded.begin(), decoded.end());
    return true;
}

}  // namespace win
