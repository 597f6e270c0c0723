// CComPtr: a counted interface pointer (one reference while it holds one).
#pragma once

#include "browser/com.h"

#include <memory>
#include <utility>

namespace win {

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(std::nullptr_t) {}
    // Adds a reference to P.
    CComPtr(T* p) : m_p(p)
    {
        if (m_p != nullptr)
            m_p->AddRef();
    }
    CComPtr(const CComPtr& other) : CComPtr(other.m_p) {}
    CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~CComPtr() { Release(); }

    CComPtr& operator=(T* p)
    {
        if (p != nullptr)
            p->AddRef();
        Release();
        m_p = p;
        return *this;
    }
    CComPtr& operator=(const CComPtr& other) { return *this = other.m_p; }
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != std::addressof(other)) {
            Release();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    operator T*() const { return m_p; }
    T* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For [out] T** arguments; the pointer must be empty (it is released
    // here when it is not, so nothing leaks).
    T** operator&()
    {
        Release();
        return &m_p;
    }

    void Release()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    // Takes over P's reference without adding one.
    void Attach(T* p)
    {
        Release();
        m_p = p;
    }
    // Gives up the reference to the caller.
    T* Detach() { return std::exchange(m_p, nullptr); }
    // Copies the pointer with a new reference into *PP.
    HRESULT CopyTo(T** pp) const
    {
        if (pp == nullptr)
            return E_POINTER;
        *pp = m_p;
        if (m_p != nullptr)
            m_p->AddRef();
        return S_OK;
    }

    template <class Q>
    HRESULT QueryInterface(Q** pp) const
    {
        if (pp == nullptr)
            return E_POINTER;
        *pp = nullptr;
        if (m_p == nullptr)
            return E_POINTER;
        return m_p->QueryInterface(Q::kIid, reinterpret_cast<void**>(pp));
    }

    // Whether both point at the same object (their IUnknown identities).
    bool IsEqualObject(IUnknown* other) const;

private:
    T* m_p = nullptr;
};

// The object's identity: its IUnknown, as QueryInterface(IID_IUnknown) gives it.
inline bool IsSameObject(IUnknown* a, IUnknown* b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    IUnknown* ua = nullptr;
    IUnknown* ub = nullptr;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub));
    bool same = ua != nullptr && ua == ub;
    if (ua != nullptr)
        ua->Release();
    if (ub != nullptr)
        ub->Release();
    return same;
}

template <class T>
bool CComPtr<T>::IsEqualObject(IUnknown* other) const
{
    return IsSameObject(m_p, other);
}

// QueryInterface into a CComPtr: CComQIPtr<IWebBrowser2> browser(site).
template <class T>
class CComQIPtr : public CComPtr<T> {
public:
    CComQIPtr() = default;
    explicit CComQIPtr(IUnknown* p)
    {
        if (p != nullptr) {
            T* q = nullptr;
            if (SUCCEEDED(p->QueryInterface(T::kIid, reinterpret_cast<void**>(&q))))
                this->Attach(q);
        }
    }
};

}  // namespace win
