// IDispatch for engine objects that are driven through their vtables only:
// no type information, no names, no late-bound members.
#pragma once

#include "browser/com_object.h"
#include "browser/oleauto.h"

namespace kb::engine {

template <class... I>
class CNoDispatch : public win::CComObjectImpl<I...> {
public:
    win::HRESULT GetTypeInfoCount(win::UINT* count) override
    {
        if (count == nullptr)
            return win::E_POINTER;
        *count = 0;
        return win::S_OK;
    }
    win::HRESULT GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo** info) override
    {
        if (info != nullptr)
            *info = nullptr;
        return win::E_NOTIMPL;
    }
    win::HRESULT GetIDsOfNames(win::REFIID, win::LPOLESTR*, win::UINT, win::LCID, win::DISPID*) override
    {
        return win::DISP_E_UNKNOWNNAME;
    }
    win::HRESULT Invoke(win::DISPID, win::REFIID, win::LCID, win::WORD, win::DISPPARAMS*, win::VARIANT*,
                        win::EXCEPINFO*, win::UINT*) override
    {
        return win::DISP_E_MEMBERNOTFOUND;
    }
};

}  // namespace kb::engine
