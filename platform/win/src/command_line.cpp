#include "win/command_line.h"

#include <fstream>
#include <sstream>

namespace win {

std::vector<std::string> TokenizeCommandLine(std::string_view commandLine)
{
    std::vector<std::string> tokens;
    std::string token;
    bool inToken = false;  // a token has started (possibly with "")
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && kCommandLineSeparators.find(c) != std::string_view::npos) {
            if (inToken)
                tokens.push_back(std::move(token));
            token.clear();
            inToken = false;
        } else {
            token += c;
            inToken = true;
        }
    }
    if (inToken)
        tokens.push_back(std::move(token));
    return tokens;
}

std::vector<std::string> SplitAtAny(std::string_view text, std::string_view separators)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of(separators, start);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > start)
            pieces.emplace_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    return pieces;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments)
{
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty())
            line += ' ';
        if (argument.empty() || argument.find_first_of(kCommandLineSeparators) != std::string::npos)
            line += '"' + argument + '"';
        else
            line += argument;
    }
    return line;
}

std::string GetCommandLine()
{
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    if (!file)
        return {};
    std::ostringstream content;
    content << file.rdbuf();
    const std::string raw = content.str();
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\0', start);
        if (end == std::string::npos)
            end = raw.size();
        arguments.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return JoinCommandLine(arguments);
}

}  // namespace win
