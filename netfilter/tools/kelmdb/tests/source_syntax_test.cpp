// The byte-spelling parts of the source syntax: "\xHH" escapes in quoted
// texts and "hex:" pattern units, accepted and refused.
#include "database_source.h"
#include "source_lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct EscapeCase {
    const char* line;
    const char* error;  // part of the error when refused; nullptr when accepted
    std::string text;   // the one token's text when accepted
};

TEST(KelmdbSource, HexEscapesInQuotedText)
{
    const EscapeCase cases[] = {
        {R"("\x41\x7a")", nullptr, "Az"},
        {R"("\xfF\x00")", nullptr, std::string("\xff\0", 2)},
        {R"("a\x4g")", "\\x needs two hexadecimal digits", {}},
        {R"("\x")", "\\x needs two hexadecimal digits", {}},
        {R"("\x4)", "\\x needs two hexadecimal digits", {}},
        {R"("\x)", "\\x needs two hexadecimal digits", {}},
        // Bytes above 0x7F are no digits, whatever the sign of char.
        {"\"\\x\xc1\xc1\"", "\\x needs two hexadecimal digits", {}},
    };
    for (const EscapeCase& c : cases) {
        std::string error;
        const auto tokens = kelmdb::SplitLine(c.line, error);
        if (c.error != nullptr) {
            EXPECT_FALSE(tokens) << c.line;
            EXPECT_NE(error.find(c.error), std::string::npos) << c.line << ": " << error;
            continue;
        }
        ASSERT_TRUE(tokens) << c.line << ": " << error;
        ASSERT_EQ(tokens->size(), 1u) << c.line;
        EXPECT_EQ((*tokens)[0].text, c.text) << c.line;
        EXPECT_TRUE((*tokens)[0].quoted) << c.line;
    }
}

struct HexUnitCase {
    const char* unit;
    std::vector<std::uint16_t> units;  // the pattern after "ab"; empty when refused
    const char* error;
};

TEST(KelmdbSource, HexPatternUnits)
{
    const HexUnitCase cases[] = {
        {"hex:00ff", {0x00, 0xff}, nullptr},
        {"hex:A0b1C2", {0xa0, 0xb1, 0xc2}, nullptr},
        {"hex:", {}, "hex needs pairs of digits"},
        {"hex:abc", {}, "hex needs pairs of digits"},
        {"hex:zz", {}, "not hexadecimal"},
        {"hex:0g", {}, "not hexadecimal"},
        {"hex:+1", {}, "not hexadecimal"},
        {"hex:-1", {}, "not hexadecimal"},
        {"hex:0x", {}, "not hexadecimal"},
    };
    for (const HexUnitCase& c : cases) {
        const std::string source = std::string("0x100 1 block \"ab\" ") + c.unit + "\n";
        std::vector<nfkit::DetectionRecord> records;
        kelmdb::SourceError error;
        const bool parsed = kelmdb::ParseDetectionSource(source, records, error);
        if (c.units.empty()) {
            EXPECT_FALSE(parsed) << c.unit;
            EXPECT_EQ(error.line, 1) << c.unit;
            EXPECT_NE(error.message.find(c.error), std::string::npos) << c.unit << ": " << error.message;
            continue;
        }
        ASSERT_TRUE(parsed) << c.unit << ": " << error.message;
        ASSERT_EQ(records.size(), 1u) << c.unit;
        const nfkit::DetectionRecord& record = records[0];
        ASSERT_EQ(record.unitCount, 2 + c.units.size()) << c.unit;
        EXPECT_EQ(record.units[0], nfkit::MakeLiteralUnit('a'));
        EXPECT_EQ(record.units[1], nfkit::MakeLiteralUnit('b'));
        for (std::size_t i = 0; i < c.units.size(); ++i)
            EXPECT_EQ(record.units[2 + i], c.units[i]) << c.unit << " unit " << i;
    }
}

}  // namespace
