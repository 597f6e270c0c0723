// qvconsole: the control panel.
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "qvconsole_app.h"
#include "servicelink/html/res_scheme.h"

namespace {

// The page area is a web engine view. Without a display it renders
// offscreen, and run as root the engine only starts with its sandbox off;
// both are chosen only when the caller has not chosen already.
void PrepareBrowserEnvironment(int argc, char** argv)
{
    bool hasDisplay = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    // The screenshot tour runs headless even on a desktop.
    for (int i = 1; i < argc; ++i)
        if (std::strstr(argv[i], "screenshots") != nullptr)
            hasDisplay = false;
    if (!hasDisplay) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
        ::setenv("QT_QUICK_BACKEND", "software", /*overwrite=*/0);
    }
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", /*overwrite=*/0);
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareBrowserEnvironment(argc, argv);
    // The web engine fixes its URL schemes when it starts, before the
    // application object exists.
    RegisterResScheme();
    return CQVConsoleApp::Instance().Run(argc, argv);
}
