// Command lines come from whoever starts the program.
#include "win/command_line.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto tokens = win::TokenizeCommandLine(text);
    win::SplitAtAny(text);
    // Tokens hold no quotes, so joining them must give them back.
    if (win::TokenizeCommandLine(win::JoinCommandLine(tokens)) != tokens)
        __builtin_trap();
    return 0;
}
