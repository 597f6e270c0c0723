#include "browser/web_browser.h"

#include <mutex>

namespace kb {
namespace {

struct Version {
    std::mutex mutex;
    std::optional<QString> value;
};

Version& TheVersion()
{
    static Version* version = new Version;
    return *version;
}

}  // namespace

std::optional<QString> BrowserProductVersion()
{
    Version& v = TheVersion();
    std::lock_guard lock(v.mutex);
    return v.value;
}

void SetBrowserProductVersion(const QString& version)
{
    Version& v = TheVersion();
    std::lock_guard lock(v.mutex);
    v.value = version;
}

}  // namespace kb
