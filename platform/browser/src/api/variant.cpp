#include "browser/oleauto.h"

#include <cstring>
#include <utility>

namespace win {

void VariantInit(VARIANT* value)
{
    if (value == nullptr)
        return;
    std::memset(static_cast<void*>(value), 0, sizeof(VARIANT));
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value)
{
    if (value == nullptr)
        return E_INVALIDARG;
    switch (value->vt) {
    case VT_BSTR:
        SysFreeString(value->bstrVal);
        break;
    case VT_DISPATCH:
        if (value->pdispVal != nullptr)
            value->pdispVal->Release();
        break;
    case VT_UNKNOWN:
        if (value->punkVal != nullptr)
            value->punkVal->Release();
        break;
    default:
        // Numbers own nothing; VT_BYREF forms point into the caller's storage.
        break;
    }
    VariantInit(value);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src)
{
    if (dest == nullptr || src == nullptr)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    VARIANT copy;
    std::memcpy(static_cast<void*>(&copy), src, sizeof(VARIANT));
    switch (src->vt) {
    case VT_BSTR:
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (src->bstrVal != nullptr && copy.bstrVal == nullptr)
            return E_OUTOFMEMORY;
        break;
    case VT_DISPATCH:
        if (copy.pdispVal != nullptr)
            copy.pdispVal->AddRef();
        break;
    case VT_UNKNOWN:
        if (copy.punkVal != nullptr)
            copy.punkVal->AddRef();
        break;
    default:
        break;
    }
    VariantClear(dest);
    std::memcpy(static_cast<void*>(dest), &copy, sizeof(VARIANT));
    return S_OK;
}

const VARIANT& DerefVariant(const VARIANT& value)
{
    if (value.vt == (VT_BYREF | VT_VARIANT) && value.pvarVal != nullptr)
        return *value.pvarVal;
    return value;
}

namespace {

bool ReadNumber(const VARIANT& v, LONGLONG& number)
{
    switch (v.vt) {
    case VT_I2: number = v.iVal; return true;
    case VT_I4: case VT_INT: case VT_ERROR: number = v.lVal; return true;
    case VT_UI4: case VT_UINT: number = v.ulVal; return true;
    case VT_I8: case VT_UI8: number = v.llVal; return true;
    case VT_BOOL: number = v.boolVal != VARIANT_FALSE ? -1 : 0; return true;
    case VT_BYREF | VT_I4: if (v.plVal == nullptr) return false; number = *v.plVal; return true;
    case VT_BYREF | VT_BOOL: if (v.pboolVal == nullptr) return false; number = *v.pboolVal; return true;
    case VT_BSTR: {
        bool ok = false;
        qlonglong parsed = QStringFromBstr(v.bstrVal).trimmed().toLongLong(&ok);
        if (!ok)
            return false;
        number = parsed;
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD, VARTYPE vt)
{
    if (dest == nullptr || src == nullptr)
        return E_INVALIDARG;
    const VARIANT& from = DerefVariant(*src);
    VARIANT result;
    VariantInit(&result);
    switch (vt) {
    case VT_I4:
    case VT_UI4:
    case VT_BOOL: {
        LONGLONG number = 0;
        if (!ReadNumber(from, number))
            return DISP_E_TYPEMISMATCH;
        result.vt = vt;
        if (vt == VT_BOOL)
            result.boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        else if (vt == VT_I4)
            result.lVal = static_cast<LONG>(number);
        else
            result.ulVal = static_cast<ULONG>(number);
        break;
    }
    case VT_BSTR: {
        if (from.vt == VT_BSTR) {
            result.vt = VT_BSTR;
            result.bstrVal = SysAllocStringLen(from.bstrVal, SysStringLen(from.bstrVal));
            break;
        }
        LONGLONG number = 0;
        if (!ReadNumber(from, number))
            return DISP_E_TYPEMISMATCH;
        result.vt = VT_BSTR;
        result.bstrVal = SysAllocQString(QString::number(number));
        break;
    }
    default:
        return DISP_E_BADVARTYPE;
    }
    VariantClear(dest);
    std::memcpy(static_cast<void*>(dest), &result, sizeof(VARIANT));
    return S_OK;
}

QString VariantToQString(const VARIANT& value, const QString& fallback)
{
    const VARIANT& v = DerefVariant(value);
    if (v.vt == VT_BSTR)
        return QStringFromBstr(v.bstrVal);
    if (v.vt == (VT_BYREF | VT_BSTR) && v.pbstrVal != nullptr)
        return QStringFromBstr(*v.pbstrVal);
    return fallback;
}

LONG VariantToLong(const VARIANT& value, LONG fallback)
{
    LONGLONG number = 0;
    return ReadNumber(DerefVariant(value), number) ? static_cast<LONG>(number) : fallback;
}

// ---------------------------------------------------------------------------

CComVariant::CComVariant(const VARIANT& other)
{
    VariantInit(this);
    VariantCopy(this, &other);
}

CComVariant::CComVariant(const CComVariant& other) : CComVariant(static_cast<const VARIANT&>(other)) {}

CComVariant::CComVariant(CComVariant&& other) noexcept
{
    std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), static_cast<const VARIANT*>(&other),
                sizeof(VARIANT));
    VariantInit(&other);
}

CComVariant::CComVariant(LONG value)
{
    VariantInit(this);
    vt = VT_I4;
    lVal = value;
}

CComVariant::CComVariant(bool value)
{
    VariantInit(this);
    vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

CComVariant::CComVariant(const OLECHAR* text)
{
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocString(text);
}

CComVariant::CComVariant(const QString& text)
{
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocQString(text);
}

CComVariant::CComVariant(IDispatch* value)
{
    VariantInit(this);
    vt = VT_DISPATCH;
    pdispVal = value;
    if (value != nullptr)
        value->AddRef();
}

CComVariant& CComVariant::operator=(const CComVariant& other)
{
    VariantCopy(this, &other);
    return *this;
}

CComVariant& CComVariant::operator=(CComVariant&& other) noexcept
{
    if (this != &other) {
        VariantClear(this);
        std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), static_cast<const VARIANT*>(&other),
                    sizeof(VARIANT));
        VariantInit(&other);
    }
    return *this;
}

HRESULT CComVariant::CopyTo(VARIANT* dest) const
{
    if (dest == nullptr)
        return E_POINTER;
    VariantInit(dest);
    return VariantCopy(dest, this);
}

HRESULT CComVariant::Detach(VARIANT* dest)
{
    if (dest == nullptr)
        return E_POINTER;
    VariantClear(dest);
    std::memcpy(static_cast<void*>(dest), static_cast<const VARIANT*>(this), sizeof(VARIANT));
    VariantInit(this);
    return S_OK;
}

}  // namespace win
