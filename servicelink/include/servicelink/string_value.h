// A named value's content as the bus carries it: always text.
//
// Every value that crosses the bus is text; the numeric and boolean views are
// conversions made on read. An absent or unparsable value reads as "" and 0,
// so callers never need to check before converting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

class CStringValue {
public:
    CStringValue() = default;
    CStringValue(std::string text) : m_text(std::move(text)) {}
    CStringValue(std::string_view text) : m_text(text) {}
    CStringValue(const char* text) : m_text(text != nullptr ? text : "") {}
    CStringValue(std::int32_t value) { Set(value); }
    CStringValue(std::uint32_t value) { Set(value); }
    CStringValue(std::int64_t value) { Set(value); }
    CStringValue(std::uint64_t value) { Set(value); }
    CStringValue(double value) { Set(value); }
    CStringValue(bool value) { Set(value); }

    // Out of line: GCC 12 at -O3 reports a false -Wrestrict for the inlined
    // assignment in callers.
    void Set(std::string_view text);
    void Set(const char* text);
    void Set(std::int32_t value);
    void Set(std::uint32_t value);
    void Set(std::int64_t value);
    void Set(std::uint64_t value);
    void Set(double value);
    // One character assigned, not a C string: GCC 12 at -O2 misreads the
    // inlined copy of a conditional C string as an overlapping memcpy.
    void Set(bool value) { m_text.assign(1, value ? '1' : '0'); }

    template <typename T>
        requires(!std::is_same_v<std::remove_cvref_t<T>, CStringValue>)
    CStringValue& operator=(T&& value)
    {
        Set(std::forward<T>(value));
        return *this;
    }
    CStringValue& operator=(const CStringValue&) = default;
    CStringValue& operator=(CStringValue&&) = default;
    CStringValue(const CStringValue&) = default;
    CStringValue(CStringValue&&) = default;

    const std::string& ToString() const { return m_text; }
    const char* c_str() const { return m_text.c_str(); }
    bool IsEmpty() const { return m_text.empty(); }

    // Leading blanks and a sign are accepted, reading stops at the first
    // character that is not a digit; out-of-range values saturate.
    std::int32_t ToInteger() const;
    std::int64_t ToInteger64() const;
    std::uint64_t ToUInteger64() const;
    double ToDouble() const;
    // "true" (any case) or a non-zero integer.
    bool ToBool() const;

    friend bool operator==(const CStringValue& a, const CStringValue& b) { return a.m_text == b.m_text; }

private:
    std::string m_text;
};
