#include "frame_browser.h"

#include "dom_bridge.h"
#include "dom_objects.h"
#include "web_browser_object.h"

namespace kb::engine {

using win::HRESULT;

CFrameBrowser::CFrameBrowser(CWebBrowser* top, std::vector<int> path) : m_pTop(top), m_path(std::move(path)) {}

CFrameBrowser::CFrameBrowser(CWebBrowser* top) : m_pTop(top), m_bBound(false) {}

void CFrameBrowser::SetReported(const QString& url, bool loaded)
{
    m_url = url;
    m_bLoaded = loaded;
}

void CFrameBrowser::Detach()
{
    m_pTop = nullptr;
}

CWebBrowser* CFrameBrowser::Top() const
{
    return m_pTop != nullptr && !m_pTop->closed() ? m_pTop : nullptr;
}

namespace {
// Document calls need a bound frame.
bool Unbound(const CFrameBrowser& frame, HRESULT& hr)
{
    hr = win::E_PENDING;
    return !frame.bound();
}
}  // namespace

HRESULT CFrameBrowser::GoBack() { return win::E_NOTIMPL; }
HRESULT CFrameBrowser::GoForward() { return win::E_NOTIMPL; }

HRESULT CFrameBrowser::Refresh()
{
    if (HRESULT pending; Unbound(*this, pending))
        return pending;
    CWebBrowser* top = Top();
    if (top == nullptr || m_url.isEmpty())
        return win::E_FAIL;
    HRESULT hr = win::S_OK;
    auto done = top->bridge()->Call(QStringLiteral("navigateFrame"), {CDomBridge::PathToJson(m_path), m_url}, &hr);
    return done ? win::S_OK : hr;
}

HRESULT CFrameBrowser::Navigate(win::BSTR url, win::VARIANT*, win::VARIANT*, win::VARIANT*, win::VARIANT*)
{
    if (HRESULT pending; Unbound(*this, pending))
        return pending;
    CWebBrowser* top = Top();
    if (top == nullptr)
        return win::E_FAIL;
    HRESULT hr = win::S_OK;
    auto done = top->bridge()->Call(QStringLiteral("navigateFrame"),
                                    {CDomBridge::PathToJson(m_path), win::QStringFromBstr(url)}, &hr);
    return done ? win::S_OK : hr;
}

HRESULT CFrameBrowser::Stop()
{
    return Top() != nullptr ? win::S_OK : win::E_FAIL;
}

HRESULT CFrameBrowser::get_Document(win::IDispatch** document)
{
    if (document == nullptr)
        return win::E_POINTER;
    *document = nullptr;
    if (HRESULT pending; Unbound(*this, pending))
        return pending;
    CWebBrowser* top = Top();
    if (top == nullptr)
        return win::E_FAIL;
    *document = NewHtmlDocument(top, m_path);
    return win::S_OK;
}

HRESULT CFrameBrowser::get_TopLevelContainer(win::VARIANT_BOOL* top)
{
    if (top == nullptr)
        return win::E_POINTER;
    *top = win::VARIANT_FALSE;
    return win::S_OK;
}

HRESULT CFrameBrowser::get_LocationName(win::BSTR* name)
{
    if (name == nullptr)
        return win::E_POINTER;
    *name = nullptr;
    if (HRESULT pending; Unbound(*this, pending))
        return pending;
    CWebBrowser* top = Top();
    if (top == nullptr)
        return win::E_FAIL;
    win::CComPtr<win::IHTMLDocument2> document;
    document.Attach(NewHtmlDocument(top, m_path));
    return document->get_title(name);
}

HRESULT CFrameBrowser::get_LocationURL(win::BSTR* url)
{
    if (url == nullptr)
        return win::E_POINTER;
    *url = Top() != nullptr ? win::SysAllocQString(m_url) : nullptr;
    return Top() != nullptr ? win::S_OK : win::E_FAIL;
}

HRESULT CFrameBrowser::get_Busy(win::VARIANT_BOOL* busy)
{
    if (busy == nullptr)
        return win::E_POINTER;
    *busy = m_bLoaded ? win::VARIANT_FALSE : win::VARIANT_TRUE;
    return win::S_OK;
}

HRESULT CFrameBrowser::Quit()
{
    return win::E_FAIL;  // a frame cannot be closed on its own
}

HRESULT CFrameBrowser::PutProperty(win::BSTR name, win::VARIANT value)
{
    CWebBrowser* top = Top();
    return top != nullptr ? top->PutProperty(name, value) : win::E_FAIL;
}

HRESULT CFrameBrowser::GetProperty(win::BSTR name, win::VARIANT* value)
{
    CWebBrowser* top = Top();
    if (top == nullptr) {
        if (value != nullptr)
            win::VariantInit(value);
        return win::E_FAIL;
    }
    return top->GetProperty(name, value);
}

HRESULT CFrameBrowser::get_HWND(win::SHANDLE_PTR* hwnd)
{
    CWebBrowser* top = Top();
    if (top == nullptr) {
        if (hwnd != nullptr)
            *hwnd = 0;
        return win::E_FAIL;
    }
    return top->get_HWND(hwnd);
}

HRESULT CFrameBrowser::get_Visible(win::VARIANT_BOOL* visible)
{
    CWebBrowser* top = Top();
    return top != nullptr ? top->get_Visible(visible) : win::E_FAIL;
}

HRESULT CFrameBrowser::put_Visible(win::VARIANT_BOOL)
{
    return win::E_FAIL;
}

HRESULT CFrameBrowser::get_ReadyState(win::LONG* state)
{
    if (state == nullptr)
        return win::E_POINTER;
    *state = m_bLoaded ? win::READYSTATE_COMPLETE : win::READYSTATE_LOADING;
    return win::S_OK;
}

HRESULT CFrameBrowser::get_Resizable(win::VARIANT_BOOL* resizable)
{
    CWebBrowser* top = Top();
    return top != nullptr ? top->get_Resizable(resizable) : win::E_FAIL;
}

HRESULT CFrameBrowser::put_Resizable(win::VARIANT_BOOL)
{
    return win::E_FAIL;
}

HRESULT CFrameBrowser::QueryService(win::REFGUID service, win::REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return win::E_POINTER;
    *ppv = nullptr;
    if (service == win::SID_SWebBrowserApp || service == win::IID_IWebBrowser2)
        return QueryInterface(riid, ppv);
    return win::E_NOINTERFACE;
}

}  // namespace kb::engine
