// The value every known setting has until someone writes it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvad {

struct ConfigDefault {
    const char* section;
    const char* key;
    const char* value;
};

// Every default, in a fixed order.
const std::vector<ConfigDefault>& ConfigDefaults();
std::optional<std::string> DefaultValue(std::string_view section, std::string_view key);

}  // namespace korvad
