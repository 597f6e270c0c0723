// CFrameBrowser: the browser object of one frame of a page, the pDisp of
// that frame's events. It names the frame by its path (indexes from the
// top); properties, the window handle and visibility are the top browser's.
#pragma once

#include "no_dispatch.h"

#include "browser/com_ptr.h"
#include "browser/web_browser.h"

#include <QString>

#include <vector>

namespace kb::engine {

class CWebBrowser;

class CFrameBrowser final : public CNoDispatch<win::IWebBrowser2, win::IServiceProvider> {
public:
    CFrameBrowser(CWebBrowser* top, std::vector<int> path);

    // A frame object made for a frame navigation before the frame is known
    // is unbound: its document calls fail with E_PENDING until the frame's
    // new document reports where it is.
    CFrameBrowser(CWebBrowser* top);

    const std::vector<int>& path() const { return m_path; }
    bool bound() const { return m_bBound; }
    void SetPath(std::vector<int> path)
    {
        m_path = std::move(path);
        m_bBound = true;
    }
    void SetReported(const QString& url, bool loaded);
    // The top browser is gone: every call fails from now on.
    void Detach();

    win::HRESULT GoBack() override;
    win::HRESULT GoForward() override;
    win::HRESULT Refresh() override;
    win::HRESULT Navigate(win::BSTR url, win::VARIANT* flags, win::VARIANT* target, win::VARIANT* postData,
                          win::VARIANT* headers) override;
    win::HRESULT Stop() override;
    win::HRESULT get_Document(win::IDispatch** document) override;
    win::HRESULT get_TopLevelContainer(win::VARIANT_BOOL* top) override;
    win::HRESULT get_LocationName(win::BSTR* name) override;
    win::HRESULT get_LocationURL(win::BSTR* url) override;
    win::HRESULT get_Busy(win::VARIANT_BOOL* busy) override;
    win::HRESULT Quit() override;
    win::HRESULT PutProperty(win::BSTR name, win::VARIANT value) override;
    win::HRESULT GetProperty(win::BSTR name, win::VARIANT* value) override;
    win::HRESULT get_HWND(win::SHANDLE_PTR* hwnd) override;
    win::HRESULT get_Visible(win::VARIANT_BOOL* visible) override;
    win::HRESULT put_Visible(win::VARIANT_BOOL visible) override;
    win::HRESULT get_ReadyState(win::LONG* state) override;
    win::HRESULT get_Resizable(win::VARIANT_BOOL* resizable) override;
    win::HRESULT put_Resizable(win::VARIANT_BOOL resizable) override;
    win::HRESULT QueryService(win::REFGUID service, win::REFIID riid, void** ppv) override;

private:
    CWebBrowser* Top() const;

    CWebBrowser* m_pTop;  // not counted: the top owns its frame objects and detaches them when it goes
    std::vector<int> m_path;
    QString m_url;
    bool m_bLoaded = false;
    bool m_bBound = true;
};

}  // namespace kb::engine
