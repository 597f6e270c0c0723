// Small service-related helpers.
#pragma once

#include <string>

class CKorvaUtilities {
public:
    // True once the service owns its bus name and answers, waiting up to
    // WAIT_MS. FLAGS is reserved (0); NAME null means the service's own name.
    static bool WaitForActiveServer(unsigned flags, unsigned waitMs, const char* name);
    // The UI resource library: $KELM_UI_RESOURCES when set, else the "ui"
    // folder installed beside the program (../share/kelm/ui).
    static std::string GetUIResourceDllPath();
    // True while the service reports an update in progress; false when it
    // cannot be asked.
    static bool IsUpdaterActive();
    // This user's id as the service keys per-user settings ("user.sid").
    static std::string GetCurrentUserId();
};
