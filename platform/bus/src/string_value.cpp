#include "servicelink/string_value.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <strings.h>

namespace {

// Parses an optional sign and the digits that follow leading blanks; stops at
// the first other character. Saturates at the limits of the 64-bit range.
struct Parsed {
    bool negative = false;
    std::uint64_t magnitude = 0;
    bool overflow = false;
};

Parsed ParseInteger(const std::string& text)
{
    Parsed p;
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        p.negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - '0');
        if (p.magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
            p.overflow = true;
            p.magnitude = std::numeric_limits<std::uint64_t>::max();
            break;
        }
        p.magnitude = p.magnitude * 10 + digit;
    }
    return p;
}

}  // namespace

void CStringValue::Set(std::string_view text) { m_text.assign(text); }
void CStringValue::Set(const char* text) { m_text.assign(text != nullptr ? text : ""); }
void CStringValue::Set(std::int32_t value) { m_text = std::to_string(value); }
void CStringValue::Set(std::uint32_t value) { m_text = std::to_string(value); }
void CStringValue::Set(std::int64_t value) { m_text = std::to_string(value); }
void CStringValue::Set(std::uint64_t value) { m_text = std::to_string(value); }

void CStringValue::Set(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_text.assign(buffer, result.ptr);
}

std::int64_t CStringValue::ToInteger64() const
{
    const Parsed p = ParseInteger(m_text);
    constexpr std::uint64_t maxPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (p.negative) {
        if (p.magnitude > maxPositive)
            return std::numeric_limits<std::int64_t>::min();
        return -static_cast<std::int64_t>(p.magnitude);
    }
    if (p.magnitude > maxPositive)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(p.magnitude);
}

std::int32_t CStringValue::ToInteger() const
{
    const std::int64_t value = ToInteger64();
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::uint64_t CStringValue::ToUInteger64() const
{
    const Parsed p = ParseInteger(m_text);
    return p.negative ? 0 : p.magnitude;
}

double CStringValue::ToDouble() const
{
    std::size_t i = 0;
    while (i < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[i])))
        ++i;
    if (i < m_text.size() && m_text[i] == '+')
        ++i;
    double value = 0.0;
    const auto result = std::from_chars(m_text.data() + i, m_text.data() + m_text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return 0.0;
    return value;
}

bool CStringValue::ToBool() const
{
    if (strcasecmp(m_text.c_str(), "true") == 0)
        return true;
    return ToInteger64() != 0;
}
