// Value data as text and back.
#include "kreg.h"

#include "win/hex.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace kreg {

using namespace win;

namespace {

std::uint64_t LittleEndian(const std::vector<std::uint8_t>& data)
{
    std::uint64_t value = 0;
    for (std::size_t i = data.size(); i > 0; --i)
        value = (value << 8) | data[i - 1];
    return value;
}

std::string Hex(const std::vector<std::uint8_t>& data)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : data) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

std::string Text(const std::vector<std::uint8_t>& data)
{
    std::size_t size = data.size();
    while (size > 0 && data[size - 1] == 0)
        --size;
    return std::string(reinterpret_cast<const char*>(data.data()), size);
}

bool ParseNumber(const std::string& text, std::uint64_t max, std::uint64_t& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        return false;
    errno = 0;
    char* end = nullptr;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == nullptr || *end != '\0' || parsed > max)
        return false;
    value = parsed;
    return true;
}

}  // namespace

std::string FormatData(DWORD type, const std::vector<std::uint8_t>& data)
{
    char buffer[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return Text(data);
    case REG_DWORD:
        if (data.size() != 4)
            break;
        std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(LittleEndian(data)));
        return buffer;
    case REG_QWORD:
        if (data.size() != 8)
            break;
        std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(LittleEndian(data)));
        return buffer;
    case REG_MULTI_SZ: {
        std::string text;
        std::size_t start = 0;
        while (start < data.size()) {
            std::size_t end = start;
            while (end < data.size() && data[end] != 0)
                ++end;
            if (end == start)
                break;
            if (!text.empty())
                text += "\\0";
            text.append(reinterpret_cast<const char*>(data.data()) + start, end - start);
            start = end + 1;
        }
        return text;
    }
    default:
        break;
    }
    return Hex(data);
}

bool ParseTypeName(const std::string& name, DWORD& type)
{
    static constexpr struct {
        const char* name;
        DWORD type;
    } kTypes[] = {
        {"REG_SZ", REG_SZ},         {"REG_EXPAND_SZ", REG_EXPAND_SZ}, {"REG_DWORD", REG_DWORD},
        {"REG_QWORD", REG_QWORD},   {"REG_BINARY", REG_BINARY},       {"REG_MULTI_SZ", REG_MULTI_SZ},
        {"REG_NONE", REG_NONE},
    };
    for (const auto& entry : kTypes) {
        if (::strcasecmp(name.c_str(), entry.name) == 0) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

bool ParseData(DWORD type, const std::string& data, std::vector<std::uint8_t>& bytes, std::string& error)
{
    bytes.clear();
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        bytes.assign(data.begin(), data.end());
        return true;
    case REG_DWORD:
    case REG_QWORD: {
        const bool dword = type == REG_DWORD;
        std::uint64_t value = 0;
        if (!ParseNumber(data, dword ? 0xFFFFFFFFull : ~0ull, value)) {
            error = "\"" + data + "\" is no " + (dword ? "32" : "64") + "-bit number (decimal or 0x-hex)";
            return false;
        }
        for (std::size_t i = 0; i < (dword ? 4u : 8u); ++i)
            bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        return true;
    }
    case REG_MULTI_SZ: {
        std::size_t start = 0;
        while (start <= data.size() && !data.empty()) {
            std::size_t end = data.find("\\0", start);
            if (end == std::string::npos)
                end = data.size();
            if (end == start) {
                error = "REG_MULTI_SZ data holds an empty text";
                return false;
            }
            bytes.insert(bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(start),
                         data.begin() + static_cast<std::ptrdiff_t>(end));
            bytes.push_back(0);
            start = end + 2;
        }
        bytes.push_back(0);
        return true;
    }
    default: {
        if (data.size() % 2 != 0) {
            error = "binary data needs an even number of hex digits";
            return false;
        }
        if (!AppendHexBytes(data, bytes)) {
            error = "binary data holds a character that is no hex digit";
            return false;
        }
        return true;
    }
    }
}

}  // namespace kreg
