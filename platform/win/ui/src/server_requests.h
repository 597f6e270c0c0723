// What the window server does with one decoded request from another
// process. Main thread only.
#pragma once

#include "wire_format.h"

#include "win/ui/window_server.h"

namespace win::detail {

wire::Reply AnswerRequest(const wire::Request& request, WindowServerCounters& counters);

// Defined in window_server.cpp; calling it links the server in.
void EnsureWindowServerLinked();

}  // namespace win::detail
