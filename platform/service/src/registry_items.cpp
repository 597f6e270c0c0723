#include "registry_items.h"

#include <sstream>
#include <vector>

namespace korvad {

namespace {

constexpr int kMaxDepth = 16;
constexpr std::size_t kMaxXmlBytes = 64u << 10;
constexpr std::size_t kMaxSnapshotEntries = 100000;

std::string XmlEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // Control characters have no place in the XML; show them as "?".
            out += (static_cast<unsigned char>(c) < 0x20 && c != '\t') ? '?' : c;
        }
    }
    return out;
}

std::string ValueText(const win::RegValue& value)
{
    if (value.type == win::REG_SZ || value.type == win::REG_EXPAND_SZ)
        return std::string(value.data.begin(), value.data.end());
    if (value.type == win::REG_DWORD && value.data.size() == 4) {
        const std::uint32_t n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                (static_cast<std::uint32_t>(value.data[3]) << 24);
        return std::to_string(n);
    }
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < value.data.size() && i < 256; ++i) {
        out += kHex[value.data[i] >> 4];
        out += kHex[value.data[i] & 15];
    }
    return out;
}

void ValueXml(const win::RegValue& value, std::string& xml)
{
    xml += "<VALUE name=\"" + XmlEscape(value.name) + "\">" + XmlEscape(ValueText(value)) + "</VALUE>";
}

void KeyChildrenXml(const win::RegKey& key, int depth, std::string& xml)
{
    std::vector<win::RegValue> values;
    if (key.EnumValues(values) == win::ERROR_SUCCESS)
        for (const auto& value : values)
            ValueXml(value, xml);
    if (depth >= kMaxDepth || xml.size() > kMaxXmlBytes)
        return;
    std::vector<std::string> names;
    if (key.EnumSubKeys(names) != win::ERROR_SUCCESS)
        return;
    for (const auto& name : names) {
        win::RegKey sub;
        if (key.OpenSubKey(name, sub) != win::ERROR_SUCCESS)
            continue;
        xml += "<KEY name=\"" + XmlEscape(name) + "\">";
        KeyChildrenXml(sub, depth + 1, xml);
        xml += "</KEY>";
        if (xml.size() > kMaxXmlBytes)
            return;
    }
}

std::string Hex(const std::string& bytes)
{
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out.empty() ? "-" : out;
}

bool Unhex(const std::string& text, std::string& out)
{
    out.clear();
    if (text == "-")
        return true;
    if (text.size() % 2 != 0)
        return false;
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = digit(text[i]);
        const int lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

const char* HiveWord(win::Hive hive) { return hive == win::Hive::LocalMachine ? "HKLM" : "HKCU"; }

void SnapshotBelow(const win::RegKey& key, const std::string& rel, int depth, std::ostringstream& out, std::size_t& entries)
{
    out << "K " << Hex(rel) << "\n";
    std::vector<win::RegValue> values;
    if (key.EnumValues(values) == win::ERROR_SUCCESS) {
        for (const auto& value : values) {
            out << "V " << Hex(rel) << " " << Hex(value.name) << " " << value.type << " "
                << Hex(std::string(value.data.begin(), value.data.end())) << "\n";
            ++entries;
        }
    }
    std::vector<std::string> names;
    if (depth >= 64 || entries > kMaxSnapshotEntries || key.EnumSubKeys(names) != win::ERROR_SUCCESS)
        return;
    for (const auto& name : names) {
        win::RegKey sub;
        if (key.OpenSubKey(name, sub) == win::ERROR_SUCCESS)
            SnapshotBelow(sub, rel.empty() ? name : rel + "\\" + name, depth + 1, out, ++entries);
    }
}

bool SetError(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
    return false;
}

}  // namespace

std::string RegistryItemName(win::Hive hive, const std::string& keyPath, const std::string* valueName)
{
    std::string name = std::string(win::HiveName(hive)) + "\\" + keyPath;
    if (valueName != nullptr)
        name += "\\" + *valueName;
    return name;
}

bool RegistryKeyXml(win::Hive hive, const std::string& keyPath, std::string& xml)
{
    win::RegKey key;
    if (win::RegKey::Open(hive, keyPath, key) != win::ERROR_SUCCESS)
        return false;
    xml = "<ROOT><KEY name=\"" + XmlEscape(RegistryItemName(hive, keyPath)) + "\">";
    KeyChildrenXml(key, 0, xml);
    xml += "</KEY></ROOT>";
    return true;
}

bool RegistryValueXml(win::Hive hive, const std::string& keyPath, const std::string& valueName, std::string& xml)
{
    win::RegKey key;
    if (win::RegKey::Open(hive, keyPath, key) != win::ERROR_SUCCESS)
        return false;
    win::RegValue value;
    value.name = valueName;
    if (key.QueryValue(valueName, value.type, value.data) != win::ERROR_SUCCESS)
        return false;
    xml = "<ROOT><KEY name=\"" + XmlEscape(RegistryItemName(hive, keyPath)) + "\">";
    ValueXml(value, xml);
    xml += "</KEY></ROOT>";
    return true;
}

bool SnapshotRegistryKey(win::Hive hive, const std::string& keyPath, std::string& snapshot, std::string* error)
{
    win::RegKey key;
    if (win::RegKey::Open(hive, keyPath, key) != win::ERROR_SUCCESS)
        return SetError(error, "the key " + RegistryItemName(hive, keyPath) + " is gone");
    std::ostringstream out;
    out << "korvad-registry 1 " << HiveWord(hive) << " " << Hex(keyPath) << "\n";
    std::size_t entries = 0;
    SnapshotBelow(key, "", 0, out, entries);
    if (entries > kMaxSnapshotEntries)
        return SetError(error, "the key " + RegistryItemName(hive, keyPath) + " is too large to keep a copy of");
    snapshot = out.str();
    return true;
}

bool SnapshotRegistryValue(win::Hive hive, const std::string& keyPath, const std::string& valueName,
                           std::string& snapshot, std::string* error)
{
    win::RegKey key;
    win::DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (win::RegKey::Open(hive, keyPath, key) != win::ERROR_SUCCESS ||
        key.QueryValue(valueName, type, data) != win::ERROR_SUCCESS)
        return SetError(error, "the value " + RegistryItemName(hive, keyPath, &valueName) + " is gone");
    std::ostringstream out;
    out << "korvad-registry 1 " << HiveWord(hive) << " " << Hex(keyPath) << "\n";
    out << "V - " << Hex(valueName) << " " << type << " " << Hex(std::string(data.begin(), data.end())) << "\n";
    snapshot = out.str();
    return true;
}

bool DeleteRegistryKey(win::Hive hive, const std::string& keyPath, std::string* error)
{
    const auto slash = keyPath.rfind('\\');
    const std::string parentPath = slash == std::string::npos ? std::string() : keyPath.substr(0, slash);
    const std::string leaf = slash == std::string::npos ? keyPath : keyPath.substr(slash + 1);
    win::RegKey parent;
    if (win::RegKey::Open(hive, parentPath, parent) != win::ERROR_SUCCESS)
        return SetError(error, "cannot open the parent of " + RegistryItemName(hive, keyPath));
    const win::LONG result = parent.DeleteTree(leaf);
    if (result != win::ERROR_SUCCESS && result != win::ERROR_FILE_NOT_FOUND)
        return SetError(error, "cannot delete " + RegistryItemName(hive, keyPath) + " (error " +
                                   std::to_string(result) + ")");
    return true;
}

bool DeleteRegistryValue(win::Hive hive, const std::string& keyPath, const std::string& valueName, std::string* error)
{
    win::RegKey key;
    if (win::RegKey::Open(hive, keyPath, key) != win::ERROR_SUCCESS)
        return true;  // nothing left to delete
    const win::LONG result = key.DeleteValue(valueName);
    if (result != win::ERROR_SUCCESS && result != win::ERROR_FILE_NOT_FOUND)
        return SetError(error, "cannot delete " + RegistryItemName(hive, keyPath, &valueName) + " (error " +
                                   std::to_string(result) + ")");
    return true;
}

bool RestoreRegistrySnapshot(const std::string& snapshot, std::string* error)
{
    std::istringstream in(snapshot);
    std::string magic, version, hiveWord, baseHex, base;
    if (!(in >> magic >> version >> hiveWord >> baseHex) || magic != "korvad-registry" || version != "1" ||
        !Unhex(baseHex, base) || (hiveWord != "HKCU" && hiveWord != "HKLM"))
        return SetError(error, "the registry restore copy is damaged");
    const win::Hive hive = hiveWord == "HKLM" ? win::Hive::LocalMachine : win::Hive::CurrentUser;
    win::RegKey root;
    if (win::RegKey::Create(hive, base, root) != win::ERROR_SUCCESS)
        return SetError(error, "cannot create " + RegistryItemName(hive, base));
    std::string kind;
    while (in >> kind) {
        std::string relHex, rel;
        if (!(in >> relHex) || !Unhex(relHex, rel))
            return SetError(error, "the registry restore copy is damaged");
        win::RegKey key;
        const win::LONG opened = rel.empty() ? win::RegKey::Create(hive, base, key) : root.CreateSubKey(rel, key);
        if (opened != win::ERROR_SUCCESS)
            return SetError(error, "cannot create a key below " + RegistryItemName(hive, base));
        if (kind == "K")
            continue;
        std::string nameHex, dataHex, name, data;
        win::DWORD type = 0;
        if (kind != "V" || !(in >> nameHex >> type >> dataHex) || !Unhex(nameHex, name) || !Unhex(dataHex, data))
            return SetError(error, "the registry restore copy is damaged");
        if (key.SetValue(name, type, std::vector<std::uint8_t>(data.begin(), data.end())) != win::ERROR_SUCCESS)
            return SetError(error, "cannot restore a value of " + RegistryItemName(hive, base));
    }
    return true;
}

}  // namespace korvad
