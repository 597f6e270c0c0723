// The host controller: what a window that shows pages in a browser control
// derives from (besides its window class).
//
// It answers the browser's host callbacks through the control site, keeps a
// map from page key to document model, binds the model of each completed
// document and calls its OnPageLoad, calls the shown model's
// OnBeforePageUnload before the browser leaves it, and offers page script the
// script-callable methods of the handlers added to its dispatch and of the
// shown page's model as window.external.
//
// Virtual operations are in the order hosts rely on. A host may override any;
// an override of AddDocumentModel, OnBeforeNavigate, OnNavigateComplete,
// OnDocumentComplete or _InitDocumentMap calls the controller's own version.
// Everything runs on the window's thread.
//
// The engine asks some questions from inside its own work and waits for the
// answer there (before-navigate, URL translation, message boxes); while it
// waits, the page cannot answer calls, so those hooks must not call into the
// page. The page's OnBeforePageUnload and the context-menu decision are run
// after the engine's question returns, so they may: a navigation that leaves
// a page with a model is held, the model unloaded, and the navigation then
// restarted (as a plain request of its URL).
#pragma once

#include "servicelink/html/custom_control_site.h"
#include "servicelink/html/html_document_model.h"
#include "servicelink/html/html_element.h"
#include "servicelink/html/script_dispatch.h"
#include "servicelink/html/script_methods.h"

#include <QHash>
#include <QKeyEvent>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QUrl>

class QWidget;
class CBrowserControl;

class CBrowserHostController : public CScriptCommandTarget {
public:
    explicit CBrowserHostController(QWidget* pHostWnd);
    ~CBrowserHostController() override;

    // F1 in the browser. True: handled.
    virtual bool OnShowHelp(CBrowserControl* pBrowser);
    // A message box of page script. True: handled, with *accepted the answer
    // (confirm); false lets the browser show it (unless it is silent).
    virtual bool OnShowMessage(CBrowserControl* pBrowser, PageMessageKind kind, const QString& text,
                               bool& accepted);
    // True: handled, no menu. The default offers the browser's menu only over
    // text inputs.
    virtual bool OnShowContextMenu(CBrowserControl* pBrowser, const QPoint& pos);
    // The host flags the browser runs with; the default answers the site's.
    virtual unsigned OnGetHostInfo(CBrowserControl* pBrowser, unsigned siteFlags);
    virtual void OnShowUI(CBrowserControl* pBrowser);
    virtual void OnHideUI(CBrowserControl* pBrowser);
    virtual void OnUpdateUI(CBrowserControl* pBrowser);
    virtual void OnEnableModeless(CBrowserControl* pBrowser, bool enable);
    virtual void OnDocWindowActivate(CBrowserControl* pBrowser, bool active);
    virtual void OnFrameWindowActivate(CBrowserControl* pBrowser, bool active);
    virtual void OnResizeBorder(CBrowserControl* pBrowser, const QRect& rect);
    // A key pressed in the browser, before the page sees it. True swallows it.
    virtual bool OnTranslateAccelerator(CBrowserControl* pBrowser, QKeyEvent* event);
    // The host's settings key for the browser; kept for the host, the Qt
    // browser reads no setting from it.
    virtual QString OnGetOptionKeyPath(CBrowserControl* pBrowser);
    // True lets the browser take drops; the default refuses them, so a file
    // dropped on a page does not navigate the window away.
    virtual bool OnGetDropTarget(CBrowserControl* pBrowser);
    // The external object of page script; null offers none.
    virtual CScriptDispatch* OnGetExternal(CBrowserControl* pBrowser);
    // A URL the browser is about to open; a different answer is opened instead.
    virtual QUrl OnTranslateUrl(CBrowserControl* pBrowser, const QUrl& url);
    // Kept for hosts that filter dragged or copied data; the Qt browser gives
    // no point to call it from, so it is never called.
    virtual bool OnFilterDataObject(CBrowserControl* pBrowser);
    // Attaches MODEL under the page key of URLORKEY (a URL or a page key).
    virtual void AddDocumentModel(const QString& urlOrKey, CHTMLDocumentModel* pModel);
    // Main-frame navigation; setting bCancel keeps the shown page. Own
    // version: unless bCancel, the shown model is no longer the shown one and
    // gets its OnBeforePageUnload before the browser leaves its page.
    virtual void OnBeforeNavigate(CBrowserControl* pBrowser, const QUrl& url, bool& bCancel);
    virtual void OnNavigateComplete(CBrowserControl* pBrowser, const QUrl& url);
    // Own version: bind the model of URL's page key and call its OnPageLoad.
    virtual void OnDocumentComplete(CBrowserControl* pBrowser, const QUrl& url);
    // Own version: empties the document map. Called when a browser is tied.
    virtual void _InitDocumentMap();

    // A navigation that failed (bCancel false: the browser shows a short
    // error document; true: the shown document stays). Default: not cancelled.
    virtual void OnNavigateError(CBrowserControl* pBrowser, const QUrl& url, int errorCode,
                                 const QString& errorText, bool& bCancel);

    // Ties BROWSER's site to this controller with HOSTFLAGS (the same as
    // the site's SetHandler(this) and SetHostFlags(hostFlags)).
    void TieBrowser(CBrowserControl* pBrowser, unsigned hostFlags);
    // Called by a site when it is tied to this controller.
    void BrowserTied(CBrowserControl* pBrowser);
    // The model that OnBeforeNavigate let go and that has not had its
    // OnBeforePageUnload yet; UnloadLeavingPage calls it (once).
    bool HasLeavingPage() const { return static_cast<bool>(m_leavingModel); }
    void UnloadLeavingPage();

    // The dispatch part.
    void AddHandler(CScriptCommandTarget* target) { m_dispatch.AddHandler(target); }
    CScriptDispatch& GetDispatch() { return m_dispatch; }

    CHTMLDocumentModel* GetDocumentModel(const QString& urlOrKey) const;
    void RemoveDocumentModel(CHTMLDocumentModel* pModel);
    // The model of the document shown now (bound at its document complete).
    CHTMLDocumentModel* GetShownDocumentModel() const { return m_shownModel.get(); }
    // The model for a call from the document at CALLER, bound to that document.
    CHTMLDocumentModel* ModelForCaller(CBrowserControl* pBrowser, const QUrl& caller);

    // The element under POS (browser widget coordinates) of the tied browser.
    CHTMLElement GetElementFromPoint(const QPoint& pos) const;
    CHTMLElement GetElementFromPoint(CBrowserControl* pBrowser, const QPoint& pos) const;
    bool IsTextInputElement(const CHTMLElement& element) const;

    QWidget* GetHostWindow() const { return m_pHostWnd; }
    CBrowserControl* GetBrowser() const { return m_pBrowser.data(); }

private:
    QWidget* m_pHostWnd;
    QPointer<CBrowserControl> m_pBrowser;
    QHash<QString, CTargetRef<CHTMLDocumentModel>> m_documentMap;
    CTargetRef<CHTMLDocumentModel> m_shownModel;
    CTargetRef<CHTMLDocumentModel> m_leavingModel;
    CScriptDispatch m_dispatch;
};
