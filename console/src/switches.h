// The control panel's command line as named switches.
#pragma once

#include <string>
#include <vector>

#include "servicelink/value_accessor.h"

// One switch per token: leading '-' and '/' removed; the text before the
// first ':' or '=' (when that stands at position 1 or later) is the name and
// the rest the value; otherwise the whole token is the name and the value is
// 1. A later token with the same name replaces the earlier value.
CDictionary ParseSwitches(const std::vector<std::string>& tokens);
