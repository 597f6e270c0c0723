#include "switches.h"

CDictionary ParseSwitches(const std::vector<std::string>& tokens)
{
    CDictionary switches;
    for (const std::string& token : tokens) {
        const std::size_t start = token.find_first_not_of("-/");
        const std::string text = start == std::string::npos ? std::string() : token.substr(start);
        const std::size_t separator = text.find_first_of(":=");
        if (separator != std::string::npos && separator >= 1)
            switches[text.substr(0, separator)] = text.substr(separator + 1);
        else
            switches[text] = 1;
    }
    return switches;
}
