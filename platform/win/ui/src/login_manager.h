// The login manager (logind) on the system D-Bus, as the default shut-down
// action uses it.
#pragma once

namespace win::detail {

enum class LoginManagerRequest { Reboot, PowerOff, EndSession };

// Sends the request with interactive authorisation (the user may be asked
// for a password). The system bus is DBUS_SYSTEM_BUS_ADDRESS when set, else
// the standard socket; a private connection is opened for the call and
// closed after it. True when the login manager accepted; otherwise the last
// error is ERROR_ACCESS_DENIED for a refusal and ERROR_GEN_FAILURE for
// anything else (no bus, no login manager, no session, no answer).
bool AskLoginManager(LoginManagerRequest request);

}  // namespace win::detail
