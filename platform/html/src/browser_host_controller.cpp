#include "servicelink/html/browser_host_controller.h"

#include "html_log.h"
#include "servicelink/html/browser_control.h"
#include "servicelink/html/page_key.h"

CBrowserHostController::CBrowserHostController(QWidget* pHostWnd)
    : m_pHostWnd(pHostWnd)
{
}

CBrowserHostController::~CBrowserHostController()
{
    // The browser may outlive this part of its window for a moment (it is a
    // child widget); it must not reach this controller's dispatch then.
    if (m_pBrowser) {
        CCustomControlSite* site = m_pBrowser->GetSite();
        if (site != nullptr && site->GetExternal() == &m_dispatch)
            site->SetExternalDispatch(nullptr);
    }
}

bool CBrowserHostController::OnShowHelp(CBrowserControl* /*pBrowser*/)
{
    return false;
}

bool CBrowserHostController::OnShowMessage(CBrowserControl* /*pBrowser*/, PageMessageKind /*kind*/,
                                           const QString& /*text*/, bool& /*accepted*/)
{
    return false;
}

bool CBrowserHostController::OnShowContextMenu(CBrowserControl* pBrowser, const QPoint& pos)
{
    // Editing commands (cut, copy, paste) are useful in text inputs; anywhere
    // else the browser's menu would only offer navigation the host manages.
    return !IsTextInputElement(GetElementFromPoint(pBrowser, pos));
}

unsigned CBrowserHostController::OnGetHostInfo(CBrowserControl* /*pBrowser*/, unsigned siteFlags)
{
    return siteFlags;
}

void CBrowserHostController::OnShowUI(CBrowserControl* /*pBrowser*/) {}
void CBrowserHostController::OnHideUI(CBrowserControl* /*pBrowser*/) {}
void CBrowserHostController::OnUpdateUI(CBrowserControl* /*pBrowser*/) {}
void CBrowserHostController::OnEnableModeless(CBrowserControl* /*pBrowser*/, bool /*enable*/) {}
void CBrowserHostController::OnDocWindowActivate(CBrowserControl* /*pBrowser*/, bool /*active*/) {}
void CBrowserHostController::OnFrameWindowActivate(CBrowserControl* /*pBrowser*/, bool /*active*/) {}
void CBrowserHostController::OnResizeBorder(CBrowserControl* /*pBrowser*/, const QRect& /*rect*/) {}

bool CBrowserHostController::OnTranslateAccelerator(CBrowserControl* /*pBrowser*/, QKeyEvent* /*event*/)
{
    return false;
}

QString CBrowserHostController::OnGetOptionKeyPath(CBrowserControl* /*pBrowser*/)
{
    return QString();
}

bool CBrowserHostController::OnGetDropTarget(CBrowserControl* /*pBrowser*/)
{
    return false;
}

CScriptDispatch* CBrowserHostController::OnGetExternal(CBrowserControl* /*pBrowser*/)
{
    return &m_dispatch;
}

QUrl CBrowserHostController::OnTranslateUrl(CBrowserControl* /*pBrowser*/, const QUrl& url)
{
    return url;
}

bool CBrowserHostController::OnFilterDataObject(CBrowserControl* /*pBrowser*/)
{
    return false;
}

void CBrowserHostController::AddDocumentModel(const QString& urlOrKey, CHTMLDocumentModel* pModel)
{
    const QString key = PageKeyFromText(urlOrKey);
    if (pModel == nullptr)
        m_documentMap.remove(key);
    else
        m_documentMap.insert(key, CTargetRef<CHTMLDocumentModel>(pModel));
}

void CBrowserHostController::OnBeforeNavigate(CBrowserControl* /*pBrowser*/, const QUrl& /*url*/, bool& bCancel)
{
    if (bCancel)
        return;
    // The unload itself runs once the engine's question has returned
    // (UnloadLeavingPage), when the page can answer calls again.
    if (m_shownModel)
        m_leavingModel = m_shownModel;
    m_shownModel = {};
}

void CBrowserHostController::UnloadLeavingPage()
{
    CHTMLDocumentModel* leaving = m_leavingModel.get();
    m_leavingModel = {};
    if (leaving != nullptr)
        leaving->OnBeforePageUnload(m_pHostWnd);
}

void CBrowserHostController::OnNavigateComplete(CBrowserControl* /*pBrowser*/, const QUrl& /*url*/)
{
}

void CBrowserHostController::OnDocumentComplete(CBrowserControl* pBrowser, const QUrl& url)
{
    const QString key = PageKeyFromUrl(url);
    CHTMLDocumentModel* model = GetDocumentModel(key);
    m_shownModel = CTargetRef<CHTMLDocumentModel>(model);
    if (model == nullptr || pBrowser == nullptr)
        return;
    model->SetDocument(CHTMLDocument(pBrowser->page(), key), key);
    model->OnPageLoad(m_pHostWnd, pBrowser, model->GetDocument());
}

void CBrowserHostController::_InitDocumentMap()
{
    m_documentMap.clear();
    m_shownModel = {};
    m_leavingModel = {};
}

void CBrowserHostController::OnNavigateError(CBrowserControl* /*pBrowser*/, const QUrl& /*url*/, int /*errorCode*/,
                                             const QString& /*errorText*/, bool& /*bCancel*/)
{
}

void CBrowserHostController::TieBrowser(CBrowserControl* pBrowser, unsigned hostFlags)
{
    if (pBrowser == nullptr)
        return;
    CCustomControlSite* site = pBrowser->GetSite();
    site->SetHandler(this);
    site->SetHostFlags(hostFlags);
}

void CBrowserHostController::BrowserTied(CBrowserControl* pBrowser)
{
    m_pBrowser = pBrowser;
    _InitDocumentMap();
}

CHTMLDocumentModel* CBrowserHostController::GetDocumentModel(const QString& urlOrKey) const
{
    return m_documentMap.value(PageKeyFromText(urlOrKey)).get();
}

void CBrowserHostController::RemoveDocumentModel(CHTMLDocumentModel* pModel)
{
    m_documentMap.removeIf([pModel](const auto& entry) { return entry.value() == pModel || !entry.value(); });
    if (m_shownModel == pModel)
        m_shownModel = {};
    if (m_leavingModel == pModel)
        m_leavingModel = {};
}

CHTMLDocumentModel* CBrowserHostController::ModelForCaller(CBrowserControl* pBrowser, const QUrl& caller)
{
    const QString key = PageKeyFromUrl(caller);
    CHTMLDocumentModel* model = GetDocumentModel(key);
    if (model != nullptr && pBrowser != nullptr &&
        (model->GetDocument().Page() != pBrowser->page() || model->GetPageKey() != key)) {
        // A call that arrives before the document-complete event: bind now so
        // the method can reach its page.
        model->SetDocument(CHTMLDocument(pBrowser->page(), key), key);
    }
    return model;
}

CHTMLElement CBrowserHostController::GetElementFromPoint(const QPoint& pos) const
{
    return GetElementFromPoint(m_pBrowser.data(), pos);
}

CHTMLElement CBrowserHostController::GetElementFromPoint(CBrowserControl* pBrowser, const QPoint& pos) const
{
    if (pBrowser == nullptr)
        return {};
    return pBrowser->GetDocument().GetElementFromPoint(pos);
}

bool CBrowserHostController::IsTextInputElement(const CHTMLElement& element) const
{
    bool textInput = false;
    return element.IsTextInput(textInput) && textInput;
}
