// CBHOHijacker wraps another listener of the browser's events so that the
// add-on hears every event once and first, and the wrapped listener never
// hears new-window events (the add-on alone decides who makes the window).
#pragma once

#include "browser/com_object.h"
#include "browser/com_ptr.h"
#include "browser/oleauto.h"

namespace browserguard {

// The identifier only a wrapper answers, with the wrapped listener.
inline constexpr win::IID IID_BHOHijacked = win::MakeGuid("5B7C2E31-91AD-4F3A-8C66-2D9E14A7FFFF");

// What a wrapper needs of the add-on object that owns it.
class HijackOwner {
 public:
  virtual bool ProcessInvoke() const = 0;
  virtual void SetProcessInvoke(bool process) = 0;
  virtual bool IsVersion7() const = 0;
  virtual win::HRESULT OwnerInvoke(win::DISPID dispid, win::REFIID riid, win::LCID lcid, win::WORD flags,
                                   win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                                   win::UINT* argError) = 0;

 protected:
  ~HijackOwner() = default;
};

class CBHOHijacker : public win::CComObjectImpl<win::IDispatch> {
 public:
  // OWNER is not counted: the owner unadvises its wrappers before it goes.
  CBHOHijacker(HijackOwner* owner, win::IDispatch* wrapped);

  win::HRESULT GetTypeInfoCount(win::UINT* count) override;
  win::HRESULT GetTypeInfo(win::UINT index, win::LCID lcid, win::ITypeInfo** info) override;
  win::HRESULT GetIDsOfNames(win::REFIID riid, win::LPOLESTR* names, win::UINT count, win::LCID lcid,
                             win::DISPID* ids) override;
  win::HRESULT Invoke(win::DISPID dispid, win::REFIID riid, win::LCID lcid, win::WORD flags,
                      win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                      win::UINT* argError) override;

 protected:
  win::HRESULT QueryExtraInterface(win::REFIID riid, void** ppv) override;

 private:
  HijackOwner* m_owner;
  win::CComPtr<win::IDispatch> m_wrapped;
};

}  // namespace browserguard
