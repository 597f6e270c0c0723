#include "browserguard/bho_hijacker.h"

#include "browserguard/popup_rules.h"

namespace browserguard {

CBHOHijacker::CBHOHijacker(HijackOwner* owner, win::IDispatch* wrapped) : m_owner(owner), m_wrapped(wrapped) {}

win::HRESULT CBHOHijacker::QueryExtraInterface(win::REFIID riid, void** ppv) {
  if (riid == IID_BHOHijacked && m_wrapped != nullptr)
    return m_wrapped->QueryInterface(win::IID_IUnknown, ppv);
  return win::E_NOINTERFACE;
}

win::HRESULT CBHOHijacker::GetTypeInfoCount(win::UINT* count) {
  return m_wrapped ? m_wrapped->GetTypeInfoCount(count) : win::E_NOTIMPL;
}

win::HRESULT CBHOHijacker::GetTypeInfo(win::UINT index, win::LCID lcid, win::ITypeInfo** info) {
  return m_wrapped ? m_wrapped->GetTypeInfo(index, lcid, info) : win::E_NOTIMPL;
}

win::HRESULT CBHOHijacker::GetIDsOfNames(win::REFIID riid, win::LPOLESTR* names, win::UINT count, win::LCID lcid,
                                         win::DISPID* ids) {
  return m_wrapped ? m_wrapped->GetIDsOfNames(riid, names, count, lcid, ids) : win::E_NOTIMPL;
}

win::HRESULT CBHOHijacker::Invoke(win::DISPID dispid, win::REFIID riid, win::LCID lcid, win::WORD flags,
                                  win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                                  win::UINT* argError) {
  // A listener may drop its connection from inside the event.
  win::CComPtr<win::IDispatch> self(this);
  win::HRESULT kept = win::S_OK;
  const WrapperRoute route =
      RouteWrappedEvent(m_owner != nullptr && m_owner->ProcessInvoke(),
                        m_owner != nullptr && m_owner->IsVersion7(), static_cast<int>(dispid));
  if (route.callOwnerFirst)
    kept = m_owner->OwnerInvoke(dispid, riid, lcid, flags, params, result, exception, argError);
  if (route.clearOwnerGuard) m_owner->SetProcessInvoke(false);
  if (!route.forwardToWrapped) return kept;
  if (m_wrapped == nullptr) return win::E_NOTIMPL;
  return m_wrapped->Invoke(dispid, riid, lcid, flags, params, result, exception, argError);
}

}  // namespace browserguard
