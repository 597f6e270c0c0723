#include "browserguard/helper_registry.h"

#include <charconv>

namespace browserguard {

std::string FormatHelperRef(const HelperRef& ref) {
  return std::to_string(ref.id) + ":" + std::to_string(ref.processId);
}

std::optional<HelperRef> ParseHelperRef(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  HelperRef ref;
  const auto parse = [](std::string_view part, int32_t& out) {
    if (part.empty()) return false;
    const char* end = part.data() + part.size();
    auto [ptr, ec] = std::from_chars(part.data(), end, out);
    return ec == std::errc() && ptr == end;
  };
  if (!parse(text.substr(0, colon), ref.id) || !parse(text.substr(colon + 1), ref.processId))
    return std::nullopt;
  return ref;
}

}  // namespace browserguard
