// What the add-on objects of one browser process share: the browser's
// version, the quit flag, the registered messages, and the interceptions.
#pragma once

#include <atomic>

#include "browser/window_api.h"

namespace browserguard {

// The host browser reports a product version of 7 or more (or none).
bool BrowserIsVersion7();
// A browser of this process received the quit event; cleared by every
// add-on object's destructor.
std::atomic<bool>& QuitSeen();

kb::UINT MessageSetForegroundWindow();  // "UM_SET_FOREGROUND_WINDOW"
kb::UINT MessageUpdateHitCount();       // "PND_UPDATE_HITCOUNT"

// The window-creation replacements (dialog check); installed once by the
// first frame, removed when the library unloads.
void InstallInterceptions();
void RemoveInterceptions();

}  // namespace browserguard
