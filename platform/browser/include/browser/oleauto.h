// Automation types: text strings (BSTR), the tagged value VARIANT, the
// argument block DISPPARAMS and IDispatch, through which the browser fires
// its events (Invoke by dispatch id) at its listeners.
//
// VARIANT has the Windows layout (vt plus a union) so event handlers read
// their arguments as on Windows: `params->rgvarg[6].pdispVal`,
// `*params->rgvarg[0].pboolVal = VARIANT_TRUE`. Arguments sit in rgvarg in
// reverse order: the last argument is rgvarg[0].
//
// Text is wchar_t (UTF-32 on Linux). A BSTR is allocated by SysAllocString
// and freed by SysFreeString; CComBSTR and CComVariant own theirs.
#pragma once

#include "browser/com.h"

#include <QString>

#include <string>
#include <string_view>

namespace win {

using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;  // length-prefixed, NUL-terminated; nullptr is the empty text

using VARIANT_BOOL = SHORT;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

// Conversions used throughout the browser; a null BSTR is the empty text.
BSTR SysAllocQString(const QString& text);
QString QStringFromBstr(BSTR text);

// Value types (the Windows numbers).
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
};

struct IDispatch;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        ULONG ulVal;
        SHORT iVal;
        int intVal;
        unsigned int uintVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        // VT_BYREF forms point into the caller's storage.
        LONG* plVal;
        VARIANT_BOOL* pboolVal;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        VARIANT* pvarVal;
    };
};
using VARIANTARG = VARIANT;

// VariantInit sets VT_EMPTY. VariantClear frees what the value owns (a
// BSTR, an interface reference; nothing for VT_BYREF forms) and sets
// VT_EMPTY. VariantCopy clears DEST, then copies SRC with its own
// references. VariantChangeType converts between VT_I4, VT_UI4, VT_BOOL and
// VT_BSTR (decimal text), following one VT_BYREF|VT_VARIANT indirection.
void VariantInit(VARIANT* value);
HRESULT VariantClear(VARIANT* value);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD flags, VARTYPE vt);

// The value a VT_BYREF|VT_VARIANT argument points at, or the argument itself.
const VARIANT& DerefVariant(const VARIANT& value);

struct DISPPARAMS {
    VARIANTARG* rgvarg = nullptr;   // arguments, last one first
    DISPID* rgdispidNamedArgs = nullptr;
    UINT cArgs = 0;
    UINT cNamedArgs = 0;
};

struct EXCEPINFO {
    WORD wCode = 0;
    WORD wReserved = 0;
    BSTR bstrSource = nullptr;
    BSTR bstrDescription = nullptr;
    BSTR bstrHelpFile = nullptr;
    DWORD dwHelpContext = 0;
    void* pvReserved = nullptr;
    void* pfnDeferredFillIn = nullptr;
    HRESULT scode = 0;
};

// Type information is never provided by the browser's objects; the type is
// declared so that listeners can forward GetTypeInfo.
struct ITypeInfo : IUnknown {
    static constexpr IID kIid = MakeGuid("00020401-0000-0000-C000-000000000046");
    using Base = IUnknown;

protected:
    ~ITypeInfo() = default;
};

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

struct IDispatch : IUnknown {
    static constexpr IID kIid = MakeGuid("00020400-0000-0000-C000-000000000046");
    using Base = IUnknown;
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argError) = 0;

protected:
    ~IDispatch() = default;
};
inline constexpr IID IID_IDispatch = IDispatch::kIid;
inline constexpr IID IID_ITypeInfo = ITypeInfo::kIid;

// ---------------------------------------------------------------------------
// Owning helpers.

// A BSTR owned by the object.
class CComBSTR {
public:
    CComBSTR() = default;
    explicit CComBSTR(const OLECHAR* text) : m_str(SysAllocString(text)) {}
    explicit CComBSTR(const QString& text) : m_str(SysAllocQString(text)) {}
    CComBSTR(const CComBSTR& other) : m_str(SysAllocStringLen(other.m_str, other.Length())) {}
    CComBSTR(CComBSTR&& other) noexcept : m_str(other.m_str) { other.m_str = nullptr; }
    CComBSTR& operator=(const CComBSTR& other);
    CComBSTR& operator=(CComBSTR&& other) noexcept;
    ~CComBSTR() { SysFreeString(m_str); }

    UINT Length() const { return SysStringLen(m_str); }
    operator BSTR() const { return m_str; }
    // For [out] BSTR* arguments: frees the current text first.
    BSTR* operator&();
    BSTR Detach();
    void Attach(BSTR text);
    BSTR Copy() const { return SysAllocStringLen(m_str, Length()); }
    QString ToQString() const { return QStringFromBstr(m_str); }
    bool operator==(const CComBSTR& other) const { return ToQString() == other.ToQString(); }

private:
    BSTR m_str = nullptr;
};

// A VARIANT that clears itself.
class CComVariant : public VARIANT {
public:
    CComVariant() { VariantInit(this); }
    CComVariant(const VARIANT& other);
    CComVariant(const CComVariant& other);
    CComVariant(CComVariant&& other) noexcept;
    explicit CComVariant(LONG value);
    explicit CComVariant(bool value);
    explicit CComVariant(const OLECHAR* text);
    explicit CComVariant(const QString& text);
    explicit CComVariant(IDispatch* value);  // adds a reference
    CComVariant& operator=(const CComVariant& other);
    CComVariant& operator=(CComVariant&& other) noexcept;
    ~CComVariant() { VariantClear(this); }

    HRESULT Clear() { return VariantClear(this); }
    HRESULT CopyTo(VARIANT* dest) const;
    // Moves the value into DEST (cleared first); this becomes VT_EMPTY.
    HRESULT Detach(VARIANT* dest);
};

// Reads of event arguments: the text, number or flag in V (following one
// VT_BYREF|VT_VARIANT), or the fallback when V holds something else.
QString VariantToQString(const VARIANT& value, const QString& fallback = {});
LONG VariantToLong(const VARIANT& value, LONG fallback = 0);

}  // namespace win
