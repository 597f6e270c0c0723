// BSTR: the text is preceded by its length in bytes (a 32-bit number, as on
// Windows) and followed by a NUL, so SysStringLen needs no scan and texts may
// hold NULs.
#include "browser/oleauto.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace win {

BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    constexpr std::size_t kMaxChars = (std::numeric_limits<std::uint32_t>::max() - 16) / sizeof(OLECHAR);
    if (length > kMaxChars)
        return nullptr;
    std::size_t bytes = sizeof(std::uint32_t) + (std::size_t{length} + 1) * sizeof(OLECHAR);
    // Keep the characters aligned for wchar_t.
    static_assert(sizeof(std::uint32_t) % alignof(OLECHAR) == 0);
    auto* block = static_cast<unsigned char*>(std::malloc(bytes));
    if (block == nullptr)
        return nullptr;
    auto byteLength = static_cast<std::uint32_t>(std::size_t{length} * sizeof(OLECHAR));
    std::memcpy(block, &byteLength, sizeof byteLength);
    auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(std::uint32_t));
    if (text != nullptr)
        std::memcpy(chars, text, std::size_t{length} * sizeof(OLECHAR));
    else
        std::memset(chars, 0, std::size_t{length} * sizeof(OLECHAR));
    chars[length] = L'\0';
    return chars;
}

BSTR SysAllocString(const OLECHAR* text)
{
    if (text == nullptr)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
}

void SysFreeString(BSTR text)
{
    if (text != nullptr)
        std::free(reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t));
}

UINT SysStringLen(BSTR text)
{
    if (text == nullptr)
        return 0;
    std::uint32_t byteLength = 0;
    std::memcpy(&byteLength, reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t), sizeof byteLength);
    return static_cast<UINT>(byteLength / sizeof(OLECHAR));
}

BSTR SysAllocQString(const QString& text)
{
    std::wstring wide = text.toStdWString();
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

QString QStringFromBstr(BSTR text)
{
    if (text == nullptr)
        return {};
    return QString::fromWCharArray(text, static_cast<qsizetype>(SysStringLen(text)));
}

CComBSTR& CComBSTR::operator=(const CComBSTR& other)
{
    if (this != std::addressof(other)) {
        BSTR copy = other.Copy();
        SysFreeString(m_str);
        m_str = copy;
    }
    return *this;
}

CComBSTR& CComBSTR::operator=(CComBSTR&& other) noexcept
{
    if (this != std::addressof(other)) {
        SysFreeString(m_str);
        m_str = std::exchange(other.m_str, nullptr);
    }
    return *this;
}

BSTR* CComBSTR::operator&()
{
    SysFreeString(m_str);
    m_str = nullptr;
    return &m_str;
}

BSTR CComBSTR::Detach()
{
    return std::exchange(m_str, nullptr);
}

void CComBSTR::Attach(BSTR text)
{
    if (text != m_str)
        SysFreeString(m_str);
    m_str = text;
}

}  // namespace win
