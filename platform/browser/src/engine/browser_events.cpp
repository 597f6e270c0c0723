#include "browser_events.h"

namespace kb::engine {
namespace {

using win::CComVariant;
using win::DISPPARAMS;
using win::VARIANT;
using win::VARIANT_BOOL;

// An argument passed by reference to a VARIANT the caller owns.
VARIANT ByRef(VARIANT* target)
{
    VARIANT v;
    win::VariantInit(&v);
    v.vt = win::VT_BYREF | win::VT_VARIANT;
    v.pvarVal = target;
    return v;
}

VARIANT Dispatch(IDispatch* value)
{
    VARIANT v;
    win::VariantInit(&v);
    v.vt = win::VT_DISPATCH;
    v.pdispVal = value;  // borrowed for the call; the caller keeps its reference
    return v;
}

VARIANT BoolRef(VARIANT_BOOL* target)
{
    VARIANT v;
    win::VariantInit(&v);
    v.vt = win::VT_BYREF | win::VT_BOOL;
    v.pboolVal = target;
    return v;
}

VARIANT DispatchRef(IDispatch** target)
{
    VARIANT v;
    win::VariantInit(&v);
    v.vt = win::VT_BYREF | win::VT_DISPATCH;
    v.ppdispVal = target;
    return v;
}

int Fire(CConnectionPoint* point, win::DISPID dispid, VARIANT* args, unsigned count)
{
    if (point == nullptr)
        return 0;
    DISPPARAMS params;
    params.rgvarg = count > 0 ? args : nullptr;
    params.cArgs = count;
    return point->Fire(dispid, &params);
}

// Takes over whatever a listener left in *SLOT.
void TakeDispatch(IDispatch*& slot, CComPtr<IDispatch>& out)
{
    if (slot != nullptr) {
        out.Attach(slot);
        slot = nullptr;
    }
}

}  // namespace

bool FireBeforeNavigate2(CConnectionPoint* point, IDispatch* browser, const QString& url, LONG flags,
                         const QString& targetFrame)
{
    CComVariant vUrl(url);
    CComVariant vFlags(flags);
    CComVariant vTarget(targetFrame);
    CComVariant vPostData;
    CComVariant vHeaders(QString{});
    VARIANT_BOOL cancel = win::VARIANT_FALSE;
    VARIANT args[7] = {BoolRef(&cancel), ByRef(&vHeaders), ByRef(&vPostData), ByRef(&vTarget),
                       ByRef(&vFlags),   ByRef(&vUrl),     Dispatch(browser)};
    Fire(point, win::DISPID_BEFORENAVIGATE2, args, 7);
    return cancel != win::VARIANT_FALSE;
}

bool FireNewWindow3(CConnectionPoint* point, CComPtr<IDispatch>& newBrowser, LONG flags, const QString& urlContext,
                    const QString& url)
{
    IDispatch* slot = nullptr;
    VARIANT_BOOL cancel = win::VARIANT_FALSE;
    CComVariant vFlags(flags);
    CComVariant vContext(urlContext);
    CComVariant vUrl(url);
    VARIANT args[5] = {vUrl, vContext, vFlags, BoolRef(&cancel), DispatchRef(&slot)};
    Fire(point, win::DISPID_NEWWINDOW3, args, 5);
    TakeDispatch(slot, newBrowser);
    return cancel != win::VARIANT_FALSE;
}

bool FireNewWindow2(CConnectionPoint* point, CComPtr<IDispatch>& newBrowser)
{
    IDispatch* slot = nullptr;
    VARIANT_BOOL cancel = win::VARIANT_FALSE;
    VARIANT args[2] = {BoolRef(&cancel), DispatchRef(&slot)};
    Fire(point, win::DISPID_NEWWINDOW2, args, 2);
    TakeDispatch(slot, newBrowser);
    return cancel != win::VARIANT_FALSE;
}

bool FireNavigateError(CConnectionPoint* point, IDispatch* browser, const QString& url, const QString& targetFrame,
                       LONG statusCode)
{
    CComVariant vUrl(url);
    CComVariant vTarget(targetFrame);
    CComVariant vStatus(statusCode);
    VARIANT_BOOL cancel = win::VARIANT_FALSE;
    VARIANT args[5] = {BoolRef(&cancel), ByRef(&vStatus), ByRef(&vTarget), ByRef(&vUrl), Dispatch(browser)};
    Fire(point, win::DISPID_NAVIGATEERROR, args, 5);
    return cancel != win::VARIANT_FALSE;
}

void FireNavigateComplete2(CConnectionPoint* point, IDispatch* browser, const QString& url)
{
    CComVariant vUrl(url);
    VARIANT args[2] = {ByRef(&vUrl), Dispatch(browser)};
    Fire(point, win::DISPID_NAVIGATECOMPLETE2, args, 2);
}

void FireDocumentComplete(CConnectionPoint* point, IDispatch* browser, const QString& url)
{
    CComVariant vUrl(url);
    VARIANT args[2] = {ByRef(&vUrl), Dispatch(browser)};
    Fire(point, win::DISPID_DOCUMENTCOMPLETE, args, 2);
}

void FireTitleChange(CConnectionPoint* point, const QString& title)
{
    CComVariant vTitle(title);
    VARIANT args[1] = {vTitle};
    Fire(point, win::DISPID_TITLECHANGE, args, 1);
}

void FireOnQuit(CConnectionPoint* point)
{
    Fire(point, win::DISPID_ONQUIT, nullptr, 0);
}

}  // namespace kb::engine
