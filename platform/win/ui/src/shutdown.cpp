// ExitWindowsEx and its replaceable action (win/ui/shell.h).
#include "win/ui/shell.h"

#include "login_manager.h"
#include "record_file.h"

#include <mutex>

namespace win {
namespace {

constexpr UINT kKnownFlags = EWX_SHUTDOWN | EWX_REBOOT | EWX_FORCE | EWX_POWEROFF | EWX_FORCEIFHUNG;

std::mutex& ActionMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Empty means the default action.
ShutdownAction& CurrentAction()
{
    static ShutdownAction action;
    return action;
}

detail::LoginManagerRequest RequestFor(UINT flags)
{
    if ((flags & EWX_REBOOT) != 0)
        return detail::LoginManagerRequest::Reboot;
    if ((flags & (EWX_SHUTDOWN | EWX_POWEROFF)) != 0)
        return detail::LoginManagerRequest::PowerOff;
    return detail::LoginManagerRequest::EndSession;
}

}  // namespace

std::string DescribeShutdown(UINT flags)
{
    std::string text;
    switch (RequestFor(flags)) {
    case detail::LoginManagerRequest::Reboot:
        text = "reboot";
        break;
    case detail::LoginManagerRequest::PowerOff:
        text = "shutdown";
        break;
    case detail::LoginManagerRequest::EndSession:
        text = "logoff";
        break;
    }
    if ((flags & (EWX_FORCE | EWX_FORCEIFHUNG)) != 0)
        text += " force";
    return text;
}

bool DefaultShutdownAction(UINT flags)
{
    switch (detail::AppendRecordLine(kShutdownRecordVariable, DescribeShutdown(flags))) {
    case detail::RecordResult::Written:
        return true;
    case detail::RecordResult::Failed:
        SetLastError(ERROR_CANTWRITE);
        return false;
    case detail::RecordResult::NotRequested:
        break;
    }
    return detail::AskLoginManager(RequestFor(flags));
}

ShutdownAction SetShutdownAction(ShutdownAction action)
{
    std::lock_guard lock(ActionMutex());
    ShutdownAction previous = std::move(CurrentAction());
    CurrentAction() = std::move(action);
    if (!previous)
        previous = DefaultShutdownAction;
    return previous;
}

BOOL ExitWindowsEx(UINT flags, DWORD /*reason*/)
{
    if ((flags & ~kKnownFlags) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ShutdownAction action;
    {
        std::lock_guard lock(ActionMutex());
        action = CurrentAction();
    }
    if (!action)
        action = DefaultShutdownAction;
    SetLastError(ERROR_SUCCESS);
    bool accepted = false;
    try {
        accepted = action(flags);
    } catch (...) {
        accepted = false;
        SetLastError(ERROR_SUCCESS);
    }
    if (accepted)
        return TRUE;
    if (GetLastError() == ERROR_SUCCESS)
        SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
}

}  // namespace win
