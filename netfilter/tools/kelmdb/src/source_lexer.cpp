#include "source_lexer.h"

#include "win/hex.h"

#include <charconv>

namespace kelmdb {

std::optional<std::vector<Token>> SplitLine(std::string_view line, std::string& error)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        Token token;
        if (c == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char q = line[i++];
                if (q == '"') {
                    closed = true;
                    break;
                }
                if (q != '\\') {
                    token.text.push_back(q);
                    continue;
                }
                if (i >= line.size()) {
                    error = "escape at the end of the line";
                    return std::nullopt;
                }
                const char e = line[i++];
                switch (e) {
                case '\\': token.text.push_back('\\'); break;
                case '"': token.text.push_back('"'); break;
                case 'n': token.text.push_back('\n'); break;
                case 'r': token.text.push_back('\r'); break;
                case 't': token.text.push_back('\t'); break;
                case 'x': {
                    const int byte = i + 2 > line.size() ? -1 : win::HexByteValue(line[i], line[i + 1]);
                    if (byte < 0) {
                        error = "\\x needs two hexadecimal digits";
                        return std::nullopt;
                    }
                    token.text.push_back(static_cast<char>(byte));
                    i += 2;
                    break;
                }
                default:
                    error = std::string("unknown escape \\") + e;
                    return std::nullopt;
                }
            }
            if (!closed) {
                error = "unterminated quoted text";
                return std::nullopt;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                token.text.push_back(line[i++]);
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

std::optional<unsigned long long> ParseNumber(std::string_view text, unsigned long long max)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return std::nullopt;
    unsigned long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

}  // namespace kelmdb
