// The core of the browser's component object model: interface identifiers,
// result codes and the base interfaces every object of the browser and of an
// add-on speaks (IUnknown, IClassFactory, IServiceProvider, IObjectWithSite).
//
// The shapes and numbers are those of the Windows component object model, so
// an add-on written against them reads like its Windows counterpart and result
// codes in logs keep their meaning. Objects are reference counted: a pointer
// handed out (QueryInterface, an [out] argument) carries one reference that
// the receiver releases. Calls never throw; they return an HRESULT.
//
// Threads: every object of the browser lives on the browser's user-interface
// thread and is called there; reference counts are atomic so an add-on may
// hold and release references from anywhere.
#pragma once

#include "win/types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace win {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using LCID = DWORD;
using DISPID = std::int32_t;
using VARTYPE = std::uint16_t;
using SHORT = std::int16_t;
using LONGLONG = std::int64_t;
using INT_PTR = std::intptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using SHANDLE_PTR = std::intptr_t;

// ---------------------------------------------------------------------------
// Result codes (the Windows values).
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000A);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
inline constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = static_cast<HRESULT>(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
inline constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802B);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
// A Win32 error code as an HRESULT (ERROR_TIMEOUT -> 0x800705B4).
constexpr HRESULT HRESULT_FROM_WIN32(LONG error)
{
    return error <= 0 ? static_cast<HRESULT>(error)
                      : static_cast<HRESULT>((static_cast<std::uint32_t>(error) & 0xFFFF) | 0x80070000u);
}

// Class contexts (CoCreateInstance). The browser runs every class in its own
// process, so they only select where a class may come from (see com_runtime.h).
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_ALL = 0x17;

// ---------------------------------------------------------------------------
// Identifiers.
struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i])
            return false;
    }
    return true;
}
constexpr bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
constexpr bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }
constexpr bool IsEqualIID(const IID& a, const IID& b) { return a == b; }
constexpr bool IsEqualCLSID(const CLSID& a, const CLSID& b) { return a == b; }

namespace detail {
constexpr int HexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}
}  // namespace detail

// Parses "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", with or without braces, any
// case. Returns false (and leaves GUID untouched) for anything else.
constexpr bool ParseGuid(std::string_view text, GUID& guid)
{
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return false;
    std::uint8_t bytes[16] = {};
    int n = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '-') {
            ++i;
            continue;
        }
        int high = detail::HexDigit(text[i]);
        int low = i + 1 < text.size() ? detail::HexDigit(text[i + 1]) : -1;
        if (high < 0 || low < 0 || n >= 16)
            return false;
        bytes[n++] = static_cast<std::uint8_t>(high * 16 + low);
        i += 2;
    }
    if (n != 16)
        return false;
    GUID parsed;
    parsed.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                   (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
    parsed.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    parsed.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        parsed.Data4[i] = bytes[8 + i];
    guid = parsed;
    return true;
}

// A GUID from a literal known to be well formed; a malformed literal in a
// constant expression does not compile.
consteval GUID MakeGuid(std::string_view text)
{
    GUID guid;
    if (!ParseGuid(text, guid))
        throw "malformed GUID literal";
    return guid;
}

// "{5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0B3}": braces, upper-case hex, the form
// the registry keys of classes use.
std::string GuidToString(const GUID& guid);

inline constexpr GUID GUID_NULL{};
inline constexpr IID IID_NULL{};

// ---------------------------------------------------------------------------
// Base interfaces. Each interface names its identifier (kIid) and the
// interface it extends (Base), which the object helpers of com_object.h use
// to answer QueryInterface for the whole chain.
struct IUnknown {
    static constexpr IID kIid = MakeGuid("00000000-0000-0000-C000-000000000046");
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // Objects delete themselves in Release; nobody deletes through an
    // interface pointer.
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    static constexpr IID kIid = MakeGuid("00000001-0000-0000-C000-000000000046");
    using Base = IUnknown;
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

struct IServiceProvider : IUnknown {
    static constexpr IID kIid = MakeGuid("6D5140C1-7436-11CE-8034-00AA006009FA");
    using Base = IUnknown;
    virtual HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) = 0;

protected:
    ~IServiceProvider() = default;
};

// How the browser hands an add-on object its browser: SetSite with the
// browser object (an IWebBrowser2) once, before the browser's first
// navigation; SetSite(nullptr) when the browser closes.
struct IObjectWithSite : IUnknown {
    static constexpr IID kIid = MakeGuid("FC4801A3-2BA9-11CF-A229-00AA003D7352");
    using Base = IUnknown;
    virtual HRESULT SetSite(IUnknown* site) = 0;
    virtual HRESULT GetSite(REFIID riid, void** ppvSite) = 0;

protected:
    ~IObjectWithSite() = default;
};

// An accessibility object: here only the way from a page window to its
// document window (QueryInterface for IServiceProvider, then QueryService
// with IID_IHTMLWindow2), as AccessibleObjectFromWindow gives it.
struct IAccessible : IUnknown {
    static constexpr IID kIid = MakeGuid("618736E0-3C3D-11CF-810C-00AA00389B71");
    using Base = IUnknown;

protected:
    ~IAccessible() = default;
};

inline constexpr IID IID_IUnknown = IUnknown::kIid;
inline constexpr IID IID_IClassFactory = IClassFactory::kIid;
inline constexpr IID IID_IServiceProvider = IServiceProvider::kIid;
inline constexpr IID IID_IObjectWithSite = IObjectWithSite::kIid;
inline constexpr IID IID_IAccessible = IAccessible::kIid;

// The identifier of interface type I.
template <class I>
constexpr const IID& uuidof()
{
    return I::kIid;
}

}  // namespace win
