#include "kit/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace nfkit {

namespace {
std::mutex& HandlerLock()
{
    static std::mutex lock;
    return lock;
}
DebugOutputHandler& Handler()
{
    static DebugOutputHandler handler;
    return handler;
}
}  // namespace

void OutputDebugString(std::string_view text)
{
    DebugOutputHandler handler;
    {
        std::lock_guard<std::mutex> guard(HandlerLock());
        handler = Handler();
    }
    if (handler) {
        handler(text);
        return;
    }
    const char* wanted = std::getenv("KELM_DEBUG_OUTPUT");
    if (wanted != nullptr && std::strcmp(wanted, "1") == 0)
        std::fwrite(text.data(), 1, text.size(), stderr);
}

DebugOutputHandler SetDebugOutputHandler(DebugOutputHandler handler)
{
    std::lock_guard<std::mutex> guard(HandlerLock());
    DebugOutputHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

}  // namespace nfkit
