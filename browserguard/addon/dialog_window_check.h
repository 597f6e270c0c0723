// The dialog-window check on the real browser: a web page dialog the user
// did not ask for, on a site without an allow blanket, is destroyed before
// its creator gets it.
#pragma once

#include "browser/window_api.h"

namespace browserguard {

// True to keep W (the creator gets it), false when it was destroyed.
bool CheckNewDialogWindow(kb::HWND w, kb::HWND parent);

}  // namespace browserguard
