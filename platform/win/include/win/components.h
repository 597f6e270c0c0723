// Installer component paths: where an installed part of the product (a help
// file, a sound, a tool, a module) lives, found by its component code.
//
// The facts come from "components.ini" in StateFolderPath(StateFolder::Config),
// written by whoever installs the parts (install scripts, tests):
//
//   ; comment
//   [{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}]
//   path=/usr/share/kelm/help/index.html
//   state=local
//
// One section per component code (braces optional, any case). "state" is
// local, source, absent or advertised (or its number); without it a component
// with a path is local. A component without a section is not installed. The
// file is read at every call, so changes count at once; lines that make no
// sense are skipped.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace win {

// Install states (the Windows Installer numbers).
using INSTALLSTATE = int;
inline constexpr INSTALLSTATE INSTALLSTATE_INVALIDARG = -2;
inline constexpr INSTALLSTATE INSTALLSTATE_UNKNOWN = -1;  // no such component
inline constexpr INSTALLSTATE INSTALLSTATE_ADVERTISED = 1;
inline constexpr INSTALLSTATE INSTALLSTATE_ABSENT = 2;
inline constexpr INSTALLSTATE INSTALLSTATE_LOCAL = 3;   // installed locally: the path is usable
inline constexpr INSTALLSTATE INSTALLSTATE_SOURCE = 4;  // runs from its source

struct ComponentEntry {
    INSTALLSTATE state = INSTALLSTATE_UNKNOWN;
    std::string path;
};

// The file the components are read from.
std::filesystem::path ComponentsFilePath();

// The component's install state; PATH gets its path when the state is
// local or source and is cleared otherwise. INSTALLSTATE_UNKNOWN for a
// component that has no entry, INSTALLSTATE_INVALIDARG for a code that is no
// component code ("{" 8-4-4-4-12 hex digits "}").
INSTALLSTATE GetComponentPath(std::string_view componentCode, std::string& path);

// The path of an installed (local or source) component; empty otherwise.
std::string ComponentPath(std::string_view componentCode);

// The canonical form of a component code: upper case with braces; empty when
// CODE is no component code.
std::string NormalizeComponentCode(std::string_view code);

// The entries of a components file's TEXT, by canonical code.
std::map<std::string, ComponentEntry> ParseComponents(std::string_view text);

}  // namespace win
