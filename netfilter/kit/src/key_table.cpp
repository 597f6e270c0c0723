#include "kit/key_table.h"

namespace nfkit {

namespace {
// Kept here and nowhere else. Changing one makes every file enciphered with
// it unreadable.
constexpr std::string_view kKeys[kKeyCount] = {
    "q7Rv2Lm9XcT4wBn8KpZ3sHd6",
    "Fj5YtN1gWq8EzVb3Mr7UkPx2",
    "c4HsJ9oLe2QaT6vXn8RbG1wK",
    "Zm3Dp7SfV5yCk1Nu9Tq4BhE6",
};
static_assert(kKeys[0].size() == 24 && kKeys[1].size() == 24 && kKeys[2].size() == 24 &&
              kKeys[3].size() == 24);
}  // namespace

std::string_view KeyText(int index)
{
    if (index < 0 || index >= kKeyCount)
        return {};
    return kKeys[index];
}

}  // namespace nfkit
