// The registry: two hives (the current user's and the machine's) of keys,
// each key holding named, typed values and subkeys.
//
// Paths use "\" separators ("Software\\KLMS\\Tavrel\\Tracking"); key and value
// names compare case-insensitively and keep the spelling they were created
// with. Strings are UTF-8. The empty value name is the key's default value.
// Every call returns a Win32 error code (ERROR_SUCCESS on success) and never
// throws. Each write is one transaction on disk: when the call returns
// ERROR_SUCCESS the change survives a crash, and several processes may write
// the same hive at once.
#pragma once

#include "win/types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace win {

enum class Hive {
    CurrentUser,   // HKEY_CURRENT_USER, "HKCU"
    LocalMachine,  // HKEY_LOCAL_MACHINE, "HKLM"
};

// Value types (the Windows numbers).
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;         // UTF-8 text
inline constexpr DWORD REG_EXPAND_SZ = 2;  // UTF-8 text with %VAR% references
inline constexpr DWORD REG_BINARY = 3;     // bytes
inline constexpr DWORD REG_DWORD = 4;      // 32-bit number, 4 bytes little-endian
inline constexpr DWORD REG_MULTI_SZ = 7;   // texts, each NUL-terminated, then one more NUL
inline constexpr DWORD REG_QWORD = 11;     // 64-bit number, 8 bytes little-endian

// One value as stored: its name, type and bytes. Text values are stored as
// their UTF-8 bytes without a terminating NUL.
struct RegValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
};

// "HKCU", "HKLM", "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE" (any case) at
// the start of TEXT, alone or followed by "\" and a key path. On success sets
// HIVE and PATH (the rest after the "\", possibly empty) and returns true.
bool ParseRootedKeyPath(std::string_view text, Hive& hive, std::string& path);

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
const char* HiveName(Hive hive);

// "REG_SZ", "REG_DWORD", ... for a type; "REG_0x<hex>" for an unknown one.
std::string RegTypeName(DWORD type);

// Expands %NAME% references from the environment. A reference to a variable
// that is not set, and a lone "%", are kept as written (as Windows does).
std::string ExpandEnvironmentStrings(std::string_view text);

class RegKey {
public:
    RegKey();
    ~RegKey();
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens the key at PATH of HIVE, creating it and any missing parents.
    // *EXISTED (when given) says whether the key was there before. An empty
    // PATH is the hive's root key.
    static LONG Create(Hive hive, std::string_view path, RegKey& key, bool* existed = nullptr);
    // Opens an existing key; ERROR_FILE_NOT_FOUND when it is missing.
    static LONG Open(Hive hive, std::string_view path, RegKey& key);

    bool IsOpen() const;
    void Close();
    Hive hive() const;
    // The path the key was opened with, as the caller spelt it (joined by "\").
    const std::string& path() const;

    // Subkeys relative to this key (NAME may itself be a path with "\").
    LONG CreateSubKey(std::string_view name, RegKey& key, bool* existed = nullptr) const;
    LONG OpenSubKey(std::string_view name, RegKey& key) const;

    // Reads. A missing value gives ERROR_FILE_NOT_FOUND; a value of another
    // type than asked for gives ERROR_UNSUPPORTED_TYPE.
    LONG QueryValue(std::string_view name, DWORD& type, std::vector<std::uint8_t>& data) const;
    // REG_SZ or REG_EXPAND_SZ; with EXPAND, %VAR% references of a
    // REG_EXPAND_SZ value are expanded from the environment.
    LONG QueryString(std::string_view name, std::string& value, bool expand = false) const;
    LONG QueryDword(std::string_view name, DWORD& value) const;
    LONG QueryQword(std::string_view name, std::uint64_t& value) const;
    // The raw bytes of a value of any type.
    LONG QueryBinary(std::string_view name, std::vector<std::uint8_t>& value) const;
    LONG QueryMultiString(std::string_view name, std::vector<std::string>& value) const;

    // Writes (create or replace).
    LONG SetValue(std::string_view name, DWORD type, const std::vector<std::uint8_t>& data) const;
    // TYPE is REG_SZ or REG_EXPAND_SZ.
    LONG SetString(std::string_view name, std::string_view value, DWORD type = REG_SZ) const;
    LONG SetDword(std::string_view name, DWORD value) const;
    LONG SetQword(std::string_view name, std::uint64_t value) const;
    LONG SetBinary(std::string_view name, const std::vector<std::uint8_t>& value) const;
    // Texts must not contain NUL; an empty text is refused (it would end the
    // list), with ERROR_INVALID_PARAMETER.
    LONG SetMultiString(std::string_view name, const std::vector<std::string>& value) const;

    LONG DeleteValue(std::string_view name) const;

    // Names in their stored spelling, sorted case-insensitively.
    LONG EnumSubKeys(std::vector<std::string>& names) const;
    LONG EnumValues(std::vector<RegValue>& values) const;

    // Deletes the subkey NAME when it has no subkeys of its own
    // (ERROR_ACCESS_DENIED otherwise, as Windows does).
    LONG DeleteSubKey(std::string_view name) const;
    // Deletes the subkey NAME with everything below it. An empty NAME deletes
    // every value and subkey of this key but keeps the key itself.
    LONG DeleteTree(std::string_view name = {}) const;

    // Opaque state shared by the keys of one hive file.
    struct Store;

private:
    RegKey(std::shared_ptr<Store> store, std::int64_t id, Hive hive, std::string path);
    static LONG CreateBelow(const std::shared_ptr<Store>& store, std::int64_t base, Hive hive,
                            const std::string& basePath, std::string_view path, RegKey& key, bool* existed);
    static LONG OpenBelow(const std::shared_ptr<Store>& store, std::int64_t base, Hive hive,
                          const std::string& basePath, std::string_view path, RegKey& key);
    LONG ReadValue(std::string_view name, DWORD& type, std::vector<std::uint8_t>& data) const;

    std::shared_ptr<Store> store_;
    std::int64_t id_ = -1;  // the key's row; a key deleted meanwhile answers ERROR_KEY_DELETED
    Hive hive_ = Hive::CurrentUser;
    std::string path_;
};

}  // namespace win
