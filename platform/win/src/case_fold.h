// Case folding for registry names: names compare equal when their folded
// forms are equal.
#pragma once

#include <string>
#include <string_view>

namespace win::detail {

// The lower-case form of a UTF-8 text, letter by letter (full Unicode simple
// case mapping where the C library offers it, ASCII otherwise). Bytes that
// are not valid UTF-8 are kept as they are, so every input folds to
// something and distinct invalid inputs stay distinct.
std::string FoldCase(std::string_view text);

}  // namespace win::detail
