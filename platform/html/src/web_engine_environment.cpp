#include "servicelink/html/web_engine_environment.h"

#include <QCoreApplication>

#include <cstdlib>
#include <unistd.h>

bool PrepareWebEngineEnvironment()
{
    if (QCoreApplication::instance() != nullptr)
        return false;
    const bool hasDisplay = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    if (!hasDisplay) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
        // No display, no OpenGL: software rendering spares the engine's
        // warnings about it.
        ::setenv("QT_QUICK_BACKEND", "software", /*overwrite=*/0);
    }
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", /*overwrite=*/0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}
