// Splits one source line into tokens: bare words, and quoted texts with
// their escapes undone. "#" outside quotes starts a comment.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmdb {

struct Token {
    std::string text;
    bool quoted = false;
};

// Nothing when the line is malformed; ERROR then says why.
std::optional<std::vector<Token>> SplitLine(std::string_view line, std::string& error);

// Decimal or 0x-prefixed hexadecimal; nothing when TEXT is not a number or
// exceeds MAX.
std::optional<unsigned long long> ParseNumber(std::string_view text, unsigned long long max);

}  // namespace kelmdb
