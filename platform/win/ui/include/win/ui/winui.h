// Everything of the window-message stand-in in one include.
#pragma once

#include "win/ui/message_event.h"
#include "win/ui/message_target.h"
#include "win/ui/messaging.h"
#include "win/ui/window_handle.h"
#include "win/ui/window_messages.h"
#include "win/ui/window_ops.h"
#include "win/ui/window_server.h"
