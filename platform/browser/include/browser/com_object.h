// Helpers for implementing objects: CComObjectImpl<Interfaces...> supplies
// the reference count (atomic), Release that deletes the object at zero, and
// QueryInterface that answers IUnknown and every interface listed together
// with the interfaces each one extends (IWebBrowser2 also answers
// IWebBrowserApp, IWebBrowser and IDispatch).
//
//   class CMySink final : public win::CComObjectImpl<win::IDispatch> { ... };
//   CComPtr<IDispatch> sink;
//   sink.Attach(new CMySink);           // starts with one reference
//
// A class that answers further identifiers overrides QueryExtraInterface.
#pragma once

#include "browser/com.h"

#include <atomic>
#include <type_traits>

namespace win {

namespace detail {

template <class I>
constexpr bool InterfaceChainHas(REFIID riid)
{
    if (riid == I::kIid)
        return true;
    if constexpr (std::is_same_v<I, IUnknown>)
        return false;
    else
        return InterfaceChainHas<typename I::Base>(riid);
}

}  // namespace detail

template <class First, class... Rest>
class CComObjectImpl : public First, public Rest... {
public:
    CComObjectImpl() = default;
    CComObjectImpl(const CComObjectImpl&) = delete;
    CComObjectImpl& operator=(const CComObjectImpl&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
        } else if (!FindInterface<First, Rest...>(riid, ppv)) {
            HRESULT hr = QueryExtraInterface(riid, ppv);
            if (FAILED(hr) || *ppv == nullptr) {
                *ppv = nullptr;
                return FAILED(hr) ? hr : E_NOINTERFACE;
            }
            return S_OK;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return m_cRef.fetch_add(1) + 1; }
    ULONG Release() override
    {
        ULONG left = m_cRef.fetch_sub(1) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~CComObjectImpl() = default;

    // Further identifiers: set *PPV with a reference added and return S_OK,
    // or return E_NOINTERFACE.
    virtual HRESULT QueryExtraInterface(REFIID, void**) { return E_NOINTERFACE; }

    ULONG RefCount() const { return m_cRef.load(); }

private:
    template <class I, class... More>
    bool FindInterface(REFIID riid, void** ppv)
    {
        if (detail::InterfaceChainHas<I>(riid)) {
            *ppv = static_cast<I*>(this);
            return true;
        }
        if constexpr (sizeof...(More) > 0)
            return FindInterface<More...>(riid, ppv);
        else
            return false;
    }

    std::atomic<ULONG> m_cRef{1};
};

}  // namespace win
