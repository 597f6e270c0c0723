// Components files are written by installers and users: any text must parse.
#include "win/components.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& [code, entry] : win::ParseComponents(text)) {
        if (win::NormalizeComponentCode(code) != code)
            __builtin_trap();  // every key must be canonical
    }
    return 0;
}
