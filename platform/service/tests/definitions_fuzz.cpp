// Any bytes into the definitions parser: it must answer, never crash, and a
// file it accepts must be internally consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "definitions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    korvad::Definitions definitions;
    std::string error;
    const bool ok = korvad::ParseDefinitions(
        std::string_view(reinterpret_cast<const char*>(data), size), definitions, &error);
    if (ok) {
        if (definitions.version.empty())
            std::abort();
        for (const auto& package : definitions.packages)
            if (package.name.empty() || package.items.empty() || package.SeverityNumber() < 0)
                std::abort();
    } else if (error.rfind("line ", 0) != 0 || !definitions.packages.empty()) {
        std::abort();
    }
    return 0;
}
