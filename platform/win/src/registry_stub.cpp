// Placeholder so the headers link while the SQLite store is written.
#include "win/registry.h"

namespace win {

struct RegKey::Store {};

bool ParseRootedKeyPath(std::string_view, Hive&, std::string&) { return false; }
const char* HiveName(Hive hive) { return hive == Hive::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE"; }
std::string RegTypeName(DWORD) { return {}; }
std::string ExpandEnvironmentStrings(std::string_view text) { return std::string(text); }

RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;
LONG RegKey::Create(Hive, std::string_view, RegKey&, bool*) { return ERROR_INVALID_FUNCTION; }
LONG RegKey::Open(Hive, std::string_view, RegKey&) { return ERROR_INVALID_FUNCTION; }
bool RegKey::IsOpen() const { return false; }
void RegKey::Close() {}
Hive RegKey::hive() const { return hive_; }
const std::string& RegKey::path() const { return path_; }
LONG RegKey::CreateSubKey(std::string_view, RegKey&, bool*) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::OpenSubKey(std::string_view, RegKey&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::QueryValue(std::string_view, DWORD&, std::vector<std::uint8_t>&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::QueryString(std::string_view, std::string&, bool) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::QueryDword(std::string_view, DWORD&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::QueryQword(std::string_view, std::uint64_t&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::QueryBinary(std::string_view, std::vector<std::uint8_t>&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::QueryMultiString(std::string_view, std::vector<std::string>&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::SetValue(std::string_view, DWORD, const std::vector<std::uint8_t>&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::SetString(std::string_view, std::string_view, DWORD) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::SetDword(std::string_view, DWORD) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::SetQword(std::string_view, std::uint64_t) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::SetBinary(std::string_view, const std::vector<std::uint8_t>&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::SetMultiString(std::string_view, const std::vector<std::string>&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::DeleteValue(std::string_view) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::EnumSubKeys(std::vector<std::string>&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::EnumValues(std::vector<RegValue>&) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::DeleteSubKey(std::string_view) const { return ERROR_INVALID_FUNCTION; }
LONG RegKey::DeleteTree(std::string_view) const { return ERROR_INVALID_FUNCTION; }

}  // namespace win
