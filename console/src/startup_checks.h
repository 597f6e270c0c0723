// The two protective steps taken before anything else at start-up.
#pragma once

#include <string>

// True when the parent process's image path (lower-cased) contains
// "nmctxth.exe"; any failure to find out counts as false.
bool ParentProcessRefused();

// Whether a subkey of the security zones key is a zone and stays: an empty
// name, a name whose integer value is 1 to 9, or one single digit.
bool IsZoneKeyName(const std::string& name);

// Deletes every subkey of the current user's security zones key
// (Software, Microsoft, Windows, CurrentVersion, Internet Settings, Zones)
// that is not a zone. Failures are ignored.
void CleanSecurityZones();
