// The Blowfish keys of the database files: four texts of 24 printable ASCII
// characters, the same in both plug-ins and in the kelmdb tool.
#pragma once

#include <string_view>

namespace nfkit {

inline constexpr int kKeyCount = 4;
inline constexpr int kDetectionFileKey = 0;  // exploit detection file
inline constexpr int kSiteDatabaseKey = 2;   // site database entry region

// The key text numbered INDEX (0 to 3); empty for any other number.
std::string_view KeyText(int index);

}  // namespace nfkit
