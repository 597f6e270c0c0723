// The kreg commands: argument parsing, query, add, delete and export.
#include "kreg.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <strings.h>

namespace kreg {

using namespace win;

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  kreg query  KEY [/v NAME | /ve] [/s]\n"
    "  kreg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
    "  kreg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "  kreg export KEY FILE\n"
    "KEY begins with HKCU\\, HKLM\\, HKEY_CURRENT_USER\\ or HKEY_LOCAL_MACHINE\\.\n"
    "TYPE is REG_SZ (default), REG_EXPAND_SZ, REG_DWORD, REG_QWORD, REG_BINARY or REG_MULTI_SZ.\n";

struct Options {
    std::string keyText;
    Hive hive = Hive::CurrentUser;
    std::string path;
    std::optional<std::string> valueName;  // /v NAME, or "" for /ve
    bool allValues = false;                // /va
    bool recurse = false;                  // /s
    bool force = false;                    // /f
    std::optional<std::string> type;       // /t
    std::optional<std::string> data;       // /d
    std::vector<std::string> positional;   // after KEY
};

bool IsSwitch(const std::string& arg, const char* name)
{
    return (arg.size() > 1 && (arg[0] == '/' || arg[0] == '-')) && ::strcasecmp(arg.c_str() + 1, name) == 0;
}

// Parses ARGS[1..] (ARGS[0] is the command). With TAKES_FILE an argument that
// starts with "/" and is no known switch is a file path. Returns false with a
// message.
bool ParseOptions(const std::vector<std::string>& args, bool takesFile, Options& options, std::string& error)
{
    if (args.size() < 2) {
        error = "missing KEY";
        return false;
    }
    options.keyText = args[1];
    if (!ParseRootedKeyPath(options.keyText, options.hive, options.path)) {
        error = "\"" + options.keyText + "\" does not begin with HKCU\\ or HKLM\\";
        return false;
    }
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasNext = i + 1 < args.size();
        if (IsSwitch(arg, "v")) {
            if (!hasNext) {
                error = "/v needs a value name";
                return false;
            }
            options.valueName = args[++i];
        } else if (IsSwitch(arg, "ve")) {
            options.valueName = std::string();
        } else if (IsSwitch(arg, "va")) {
            options.allValues = true;
        } else if (IsSwitch(arg, "s")) {
            options.recurse = true;
        } else if (IsSwitch(arg, "f")) {
            options.force = true;
        } else if (IsSwitch(arg, "t")) {
            if (!hasNext) {
                error = "/t needs a type";
                return false;
            }
            options.type = args[++i];
        } else if (IsSwitch(arg, "d")) {
            if (!hasNext) {
                error = "/d needs data";
                return false;
            }
            options.data = args[++i];
        } else if (arg.size() > 1 && arg[0] == '/' && !takesFile) {
            error = "unknown switch " + arg;
            return false;
        } else {
            options.positional.push_back(arg);
        }
    }
    return true;
}

std::string FullName(Hive hive, const std::string& path)
{
    std::string name = HiveName(hive);
    if (!path.empty())
        name += "\\" + path;
    return name;
}

std::string ErrorText(LONG error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return "not found";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_KEY_DELETED: return "the key was deleted meanwhile";
    case ERROR_BADDB: return "the hive file is damaged";
    case ERROR_CANTOPEN: return "the hive file cannot be opened";
    case ERROR_TIMEOUT: return "the hive is busy (timed out)";
    case ERROR_UNSUPPORTED_TYPE: return "unsupported type";
    case ERROR_INVALID_PARAMETER: return "invalid parameter";
    default: return "error " + std::to_string(error);
    }
}

std::string DisplayName(const std::string& name)
{
    return name.empty() ? "(Default)" : name;
}

void PrintValue(std::ostream& out, const RegValue& value)
{
    out << "    " << DisplayName(value.name) << "    " << RegTypeName(value.type) << "    "
        << FormatData(value.type, value.data) << "\n";
}

bool Confirm(std::istream* in, std::ostream& err, const std::string& question)
{
    if (in == nullptr)
        return false;
    err << question << " (Yes/No) ";
    std::string answer;
    if (!std::getline(*in, answer))
        return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

LONG QueryKey(const RegKey& key, const std::string& fullName, const Options& options, std::ostream& out)
{
    std::vector<RegValue> values;
    LONG error = key.EnumValues(values);
    if (error != ERROR_SUCCESS)
        return error;
    std::vector<std::string> subkeys;
    error = key.EnumSubKeys(subkeys);
    if (error != ERROR_SUCCESS)
        return error;
    out << fullName << "\n";
    for (const RegValue& value : values)
        PrintValue(out, value);
    out << "\n";
    for (const std::string& name : subkeys) {
        if (!options.recurse) {
            out << fullName << "\\" << name << "\n";
            continue;
        }
        RegKey sub;
        // A subkey deleted by another process meanwhile is simply skipped.
        if (key.OpenSubKey(name, sub) != ERROR_SUCCESS)
            continue;
        error = QueryKey(sub, fullName + "\\" + name, options, out);
        if (error != ERROR_SUCCESS && error != ERROR_KEY_DELETED)
            return error;
    }
    return ERROR_SUCCESS;
}

int Query(const Options& options, std::ostream& out, std::ostream& err)
{
    const std::string fullName = FullName(options.hive, options.path);
    RegKey key;
    LONG error = RegKey::Open(options.hive, options.path, key);
    if (error != ERROR_SUCCESS) {
        err << "kreg: cannot open " << fullName << ": " << ErrorText(error) << "\n";
        return 1;
    }
    if (options.valueName) {
        RegValue value;
        value.name = *options.valueName;
        error = key.QueryValue(value.name, value.type, value.data);
        if (error != ERROR_SUCCESS) {
            err << "kreg: cannot read value " << DisplayName(value.name) << " of " << fullName << ": "
                << ErrorText(error) << "\n";
            return 1;
        }
        out << fullName << "\n";
        PrintValue(out, value);
        out << "\n";
        return 0;
    }
    error = QueryKey(key, fullName, options, out);
    if (error != ERROR_SUCCESS) {
        err << "kreg: cannot read " << fullName << ": " << ErrorText(error) << "\n";
        return 1;
    }
    return 0;
}

int Add(const Options& options, std::ostream& err, std::istream* in)
{
    const std::string fullName = FullName(options.hive, options.path);
    DWORD type = REG_SZ;
    if (options.type && !ParseTypeName(*options.type, type)) {
        err << "kreg: unknown type " << *options.type << "\n";
        return 1;
    }
    if (!options.valueName && (options.type || options.data)) {
        err << "kreg: /t and /d need a value name (/v NAME or /ve)\n";
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    std::string parseError;
    if (options.valueName && !ParseData(type, options.data.value_or(std::string()), bytes, parseError)) {
        err << "kreg: invalid data: " << parseError << "\n";
        return 1;
    }
    RegKey key;
    LONG error = RegKey::Create(options.hive, options.path, key);
    if (error != ERROR_SUCCESS) {
        err << "kreg: cannot create " << fullName << ": " << ErrorText(error) << "\n";
        return 1;
    }
    if (!options.valueName)
        return 0;
    DWORD oldType = REG_NONE;
    std::vector<std::uint8_t> oldData;
    if (!options.force && key.QueryValue(*options.valueName, oldType, oldData) == ERROR_SUCCESS &&
        !Confirm(in, err, "Value " + DisplayName(*options.valueName) + " exists, overwrite?")) {
        err << "kreg: value " << DisplayName(*options.valueName) << " exists; use /f to overwrite it\n";
        return 1;
    }
    error = key.SetValue(*options.valueName, type, bytes);
    if (error != ERROR_SUCCESS) {
        err << "kreg: cannot write value " << DisplayName(*options.valueName) << " of " << fullName << ": "
            << ErrorText(error) << "\n";
        return 1;
    }
    return 0;
}

int Delete(const Options& options, std::ostream& err, std::istream* in)
{
    const std::string fullName = FullName(options.hive, options.path);
    RegKey key;
    LONG error = RegKey::Open(options.hive, options.path, key);
    if (error != ERROR_SUCCESS) {
        err << "kreg: cannot open " << fullName << ": " << ErrorText(error) << "\n";
        return 1;
    }
    if (options.valueName || options.allValues) {
        const std::string what = options.allValues ? "all values of " + fullName
                                                   : "value " + DisplayName(*options.valueName) + " of " + fullName;
        if (!options.force && !Confirm(in, err, "Delete " + what + "?")) {
            err << "kreg: not deleting " << what << " without /f\n";
            return 1;
        }
        if (options.allValues) {
            std::vector<RegValue> values;
            error = key.EnumValues(values);
            for (const RegValue& value : values) {
                if (error != ERROR_SUCCESS)
                    break;
                error = key.DeleteValue(value.name);
                if (error == ERROR_FILE_NOT_FOUND)
                    error = ERROR_SUCCESS;  // gone meanwhile: what we wanted
            }
        } else {
            error = key.DeleteValue(*options.valueName);
        }
        if (error != ERROR_SUCCESS) {
            err << "kreg: cannot delete " << what << ": " << ErrorText(error) << "\n";
            return 1;
        }
        return 0;
    }
    if (options.path.empty()) {
        err << "kreg: refusing to delete the root of " << fullName << "\n";
        return 1;
    }
    if (!options.force && !Confirm(in, err, "Permanently delete " + fullName + " and everything below it?")) {
        err << "kreg: not deleting " << fullName << " without /f\n";
        return 1;
    }
    key.Close();
    // Delete the key itself through its parent.
    const std::size_t slash = options.path.find_last_of('\\');
    const std::string parentPath = slash == std::string::npos ? std::string() : options.path.substr(0, slash);
    const std::string leaf = slash == std::string::npos ? options.path : options.path.substr(slash + 1);
    RegKey parent;
    error = RegKey::Open(options.hive, parentPath, parent);
    if (error == ERROR_SUCCESS)
        error = parent.DeleteTree(leaf);
    if (error != ERROR_SUCCESS) {
        err << "kreg: cannot delete " << fullName << ": " << ErrorText(error) << "\n";
        return 1;
    }
    return 0;
}

// Text in double quotes with "\" and '"' escaped, and control characters as \n,
// \r, \t or \xHH, so every value stays on one line.
std::string Quote(const std::string& text)
{
    std::string quoted = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '\\': quoted += "\\\\"; break;
        case '"': quoted += "\\\""; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
                quoted += buffer;
            } else {
                quoted += static_cast<char>(c);
            }
        }
    }
    return quoted + "\"";
}

std::string ExportData(const RegValue& value)
{
    switch (value.type) {
    case REG_SZ:
        return Quote(FormatData(value.type, value.data));
    case REG_EXPAND_SZ:
        return "expand:" + Quote(FormatData(value.type, value.data));
    case REG_DWORD:
        if (value.data.size() == 4) {
            char buffer[24];
            const unsigned number = static_cast<unsigned>(value.data[0]) | static_cast<unsigned>(value.data[1]) << 8 |
                                    static_cast<unsigned>(value.data[2]) << 16 |
                                    static_cast<unsigned>(value.data[3]) << 24;
            std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
            return buffer;
        }
        break;
    case REG_QWORD:
        if (value.data.size() == 8)
            return "qword:" + FormatData(value.type, value.data);
        break;
    case REG_MULTI_SZ: {
        std::string line = "multi:";
        std::size_t start = 0;
        bool first = true;
        while (start < value.data.size()) {
            std::size_t end = start;
            while (end < value.data.size() && value.data[end] != 0)
                ++end;
            if (end == start)
                break;
            line += (first ? "" : ",") +
                    Quote(std::string(reinterpret_cast<const char*>(value.data.data()) + start, end - start));
            first = false;
            start = end + 1;
        }
        return line;
    }
    default:
        break;
    }
    std::string line = value.type == REG_BINARY ? "hex:" : "hex(" + std::to_string(value.type) + "):";
    char buffer[4];
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", value.data[i]);
        line += (i ? "," : "") + std::string(buffer);
    }
    return line;
}

LONG ExportKey(const RegKey& key, const std::string& fullName, std::ostream& out)
{
    std::vector<RegValue> values;
    LONG error = key.EnumValues(values);
    if (error != ERROR_SUCCESS)
        return error;
    std::vector<std::string> subkeys;
    error = key.EnumSubKeys(subkeys);
    if (error != ERROR_SUCCESS)
        return error;
    out << "[" << fullName << "]\n";
    for (const RegValue& value : values)
        out << (value.name.empty() ? std::string("@") : Quote(value.name)) << "=" << ExportData(value) << "\n";
    out << "\n";
    for (const std::string& name : subkeys) {
        RegKey sub;
        if (key.OpenSubKey(name, sub) != ERROR_SUCCESS)
            continue;
        error = ExportKey(sub, fullName + "\\" + name, out);
        if (error != ERROR_SUCCESS && error != ERROR_KEY_DELETED)
            return error;
    }
    return ERROR_SUCCESS;
}

int Export(const Options& options, std::ostream& out, std::ostream& err)
{
    const std::string fullName = FullName(options.hive, options.path);
    if (options.positional.size() != 1) {
        err << "kreg: export needs exactly one FILE (\"-\" for standard output)\n";
        return 1;
    }
    RegKey key;
    LONG error = RegKey::Open(options.hive, options.path, key);
    if (error != ERROR_SUCCESS) {
        err << "kreg: cannot open " << fullName << ": " << ErrorText(error) << "\n";
        return 1;
    }
    const std::string& file = options.positional[0];
    std::ofstream stream;
    if (file != "-") {
        stream.open(file, std::ios::binary | std::ios::trunc);
        if (!stream) {
            err << "kreg: cannot write " << file << "\n";
            return 1;
        }
    }
    std::ostream& target = file == "-" ? out : stream;
    target << "; kreg export of " << fullName << "\n\n";
    error = ExportKey(key, fullName, target);
    if (error != ERROR_SUCCESS) {
        err << "kreg: cannot read " << fullName << ": " << ErrorText(error) << "\n";
        return 1;
    }
    target.flush();
    if (!target) {
        err << "kreg: writing " << file << " failed\n";
        return 1;
    }
    return 0;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream* in)
{
    if (args.empty() || IsSwitch(args[0], "?") || args[0] == "--help") {
        (args.empty() ? err : out) << kUsage;
        return args.empty() ? 1 : 0;
    }
    std::string command = args[0];
    for (char& c : command)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (command != "query" && command != "add" && command != "delete" && command != "export") {
        err << "kreg: unknown command \"" << args[0] << "\"\n" << kUsage;
        return 1;
    }
    Options options;
    std::string error;
    if (!ParseOptions(args, /*takesFile=*/command == "export", options, error)) {
        err << "kreg: " << error << "\n" << kUsage;
        return 1;
    }
    if (command != "export" && !options.positional.empty()) {
        err << "kreg: unexpected argument \"" << options.positional[0] << "\"\n";
        return 1;
    }
    if (command == "query")
        return Query(options, out, err);
    if (command == "add")
        return Add(options, err, in);
    if (command == "delete")
        return Delete(options, err, in);
    return Export(options, out, err);
}

}  // namespace kreg
