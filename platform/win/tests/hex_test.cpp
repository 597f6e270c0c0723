// Hex digits: every character's value, and byte strings with their faults.
#include "win/hex.h"

#include <gtest/gtest.h>

#include <string>

namespace win {
namespace {

TEST(HexTest, DigitValueOfEveryByte)
{
    static_assert(HexDigitValue('f') == 15 && HexDigitValue('G') == -1, "usable in constant expressions");
    const std::string digits = "0123456789abcdef";
    for (int c = -128; c < 256; ++c) {
        int expected = -1;
        if (c >= 0) {
            const auto at = digits.find(static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c));
            if (at != std::string::npos)
                expected = static_cast<int>(at);
        }
        EXPECT_EQ(HexDigitValue(c), expected) << c;
    }
    // A signed char above 0x7F and the same byte unsigned are both no digit.
    EXPECT_EQ(HexDigitValue(static_cast<char>(0xE6)), -1);
    EXPECT_EQ(HexDigitValue(static_cast<std::uint8_t>(0xE6)), -1);
    EXPECT_EQ(HexByteValue('F', 'f'), 255);
    EXPECT_EQ(HexByteValue('0', 'x'), -1);
}

TEST(HexTest, AppendsBytesOrNothing)
{
    struct Case {
        const char* text;
        bool ok;
        std::vector<std::uint8_t> bytes;
    };
    for (const Case& c : {Case{"", true, {}}, Case{"00ff7A", true, {0x00, 0xFF, 0x7A}}, Case{"0", false, {}},
                          Case{"0g", false, {}}, Case{"00 11", false, {}}, Case{"-1", false, {}},
                          Case{"abc", false, {}}}) {
        std::vector<std::uint8_t> bytes{0x42};
        EXPECT_EQ(AppendHexBytes(c.text, bytes), c.ok) << c.text;
        std::vector<std::uint8_t> expected{0x42};
        expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(bytes, expected) << c.text;
    }
}

}  // namespace
}  // namespace win
