// The two line-based stores the scanner reads and the quarantine edits: the
// browser's cookies.txt (Netscape layout: domain, include-subdomains flag,
// path, secure, expiry, name, value, separated by tabs) and a hosts file.
// Edits rewrite the whole file atomically (temporary file, fsync, rename),
// so a crash leaves either the old or the new file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvad {

// Largest cookie or hosts file read; a bigger one is read up to this size.
inline constexpr std::size_t kMaxTextStoreBytes = 16u << 20;

struct CookieLine {
    std::string domain;  // lower case, without a leading "."
    std::string path;
    std::string name;
};

// Parses one cookies.txt line; false for comments, blank and malformed lines.
bool ParseCookieLine(std::string_view line, CookieLine& cookie);
// True when DOMAIN is PATTERN or one of its subdomains.
bool DomainMatches(std::string_view domain, std::string_view pattern);
// The cookie's display text and identity: "name@domain/path".
std::string CookieItemName(const CookieLine& cookie);

// The host names a hosts-file line sends to a non-local address, lower
// case; empty for comments, blank lines and lines that only block (send
// names to 127.0.0.1, 0.0.0.0 or ::1).
std::vector<std::string> HijackedHosts(std::string_view line);

// Reads the file's lines (up to kMaxTextStoreBytes); false when it cannot
// be opened. A missing file reads as no lines when MISSING_OK.
bool ReadLines(const std::string& path, std::vector<std::string>& lines, bool missingOk, std::string* error);
// Writes LINES (each followed by "\n") atomically in place of PATH, keeping
// the old file's permission bits.
bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines, std::string* error);

}  // namespace korvad
