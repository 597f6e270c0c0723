// Which messages this process accepts from other processes.
//
// Message parameters often carry pointers into the receiver's memory (the
// control panel posts pointers to heap records to its own main window), so a
// message from another process is refused unless the process said it takes
// that message. The hand-off messages of the control panel and the add-on's
// foreground request are opted in by their owners.

#include "win/ui/messaging.h"

#include <mutex>
#include <unordered_set>

namespace win {
namespace {

struct Filter {
    std::mutex mutex;
    std::unordered_set<UINT> allowed;
};

Filter& ProcessFilter()
{
    static Filter* filter = new Filter;
    return *filter;
}

}  // namespace

BOOL ChangeWindowMessageFilter(UINT message, DWORD action)
{
    // The default handling of these reads or writes through lParam.
    if (message == WM_GETTEXT || message == WM_SETTEXT) {
        SetLastError(static_cast<DWORD>(ERROR_ACCESS_DENIED));
        return FALSE;
    }
    Filter& filter = ProcessFilter();
    std::lock_guard lock(filter.mutex);
    switch (action) {
    case MSGFLT_ADD:
        filter.allowed.insert(message);
        return TRUE;
    case MSGFLT_REMOVE:
        filter.allowed.erase(message);
        return TRUE;
    default:
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
}

bool IsMessageAllowedFromOtherProcesses(UINT message)
{
    if (message == WM_NULL)
        return true;
    Filter& filter = ProcessFilter();
    std::lock_guard lock(filter.mutex);
    return filter.allowed.count(message) != 0;
}

}  // namespace win
