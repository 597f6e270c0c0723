// The start-up settings every program with a Qt WebEngine view needs here.
#pragma once

// Call first thing in main, before RegisterResScheme and before the
// QApplication exists. Without a display (neither DISPLAY nor
// WAYLAND_DISPLAY set) it chooses the offscreen platform and software
// rendering; run as root it turns Chromium's sandbox off (the engine does
// not start as root otherwise); and it asks for shared OpenGL contexts,
// which the engine needs before the application is made. A variable the
// caller has already set is kept. Once the application exists it changes
// nothing and returns false.
bool PrepareWebEngineEnvironment();
