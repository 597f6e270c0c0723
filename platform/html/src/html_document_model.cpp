#include "servicelink/html/html_document_model.h"

#include "html_log.h"

CHTMLDocumentModel::CHTMLDocumentModel() = default;
CHTMLDocumentModel::~CHTMLDocumentModel() = default;

void CHTMLDocumentModel::OnBeforePageUnload(QWidget* /*pHostWnd*/)
{
}

void CHTMLDocumentModel::OnPageLoad(QWidget* /*pHostWnd*/, CBrowserControl* /*pBrowser*/, const CHTMLDocument& /*document*/)
{
    UpdateData(/*bSaveAndValidate=*/false);
}

void CHTMLDocumentModel::DoDataExchange(CHTMLDataExchange* /*pDX*/)
{
}

bool CHTMLDocumentModel::UpdateData(bool bSaveAndValidate)
{
    if (m_document.IsNull()) {
        m_lastResult = {HtmlCallStatus::NoDocument, {}, QStringLiteral("no document is bound")};
        return false;
    }
    CHTMLDataExchange exchange(this, bSaveAndValidate);
    DoDataExchange(&exchange);
    return true;
}

void CHTMLDocumentModel::SetDocument(const CHTMLDocument& document, const QString& key)
{
    m_document = CHTMLDocument(document.Page(), key);
    m_document.SetCallTimeout(m_timeoutMs);
}

void CHTMLDocumentModel::SetCallTimeout(int milliseconds)
{
    m_timeoutMs = milliseconds;
    m_document.SetCallTimeout(milliseconds);
}

bool CHTMLDocumentModel::Remember(const CHtmlCallResult& result)
{
    m_lastResult = result;
    return result.ok();
}

template <typename T>
bool CHTMLDocumentModel::Read(const CHtmlCallResult& result, T& out)
{
    if (!Remember(result))
        return false;
    out = result.value.value<T>();
    return true;
}

CHtmlCallResult CHTMLDocumentModel::ById(const QString& operation, const QString& id, const QJsonArray& args)
{
    return m_document.ElementOperation(operation, QJsonObject{{QStringLiteral("id"), id}}, args);
}

CHtmlCallResult CHTMLDocumentModel::ByName(const QString& operation, const QString& name, const QJsonArray& args)
{
    return m_document.ElementOperation(operation, QJsonObject{{QStringLiteral("name"), name}}, args);
}

bool CHTMLDocumentModel::CallJScript(const QString& function, QString* pResult, const QStringList& args)
{
    const CHtmlCallResult result = m_document.CallFunction(function, args);
    if (!result.ok() && result.status != HtmlCallStatus::NoFunction)
        qCWarning(lcHtml).noquote() << "CallJScript" << function << "failed:" << HtmlCallStatusName(result.status) << "-"
                                    << result.message;
    if (result.ok() && pResult != nullptr)
        *pResult = result.value.toString();
    return Remember(result);
}

bool CHTMLDocumentModel::GetCheck(const QString& id, bool& checked)
{
    return Read(ById(QStringLiteral("getCheck"), id), checked);
}

bool CHTMLDocumentModel::SetCheck(const QString& id, bool checked)
{
    return Remember(ById(QStringLiteral("setCheck"), id, {checked}));
}

bool CHTMLDocumentModel::GetInputTextValue(const QString& id, QString& value)
{
    return Read(ById(QStringLiteral("getValue"), id), value);
}

bool CHTMLDocumentModel::SetInputTextValue(const QString& id, const QString& value)
{
    return Remember(ById(QStringLiteral("setValue"), id, {value}));
}

bool CHTMLDocumentModel::GetRadioSelection(const QString& group, QString& value)
{
    return Read(ByName(QStringLiteral("getRadio"), group), value);
}

bool CHTMLDocumentModel::SetRadioSelection(const QString& group, const QString& value)
{
    return Remember(ByName(QStringLiteral("setRadio"), group, {value}));
}

bool CHTMLDocumentModel::GetSelectedOption(const QString& id, QString& value)
{
    return Read(ById(QStringLiteral("getSelected"), id), value);
}

bool CHTMLDocumentModel::SetSelectedOption(const QString& id, const QString& value)
{
    return Remember(ById(QStringLiteral("setSelected"), id, {value}));
}

bool CHTMLDocumentModel::GetElementClass(const QString& id, QString& className)
{
    return Read(ById(QStringLiteral("getClass"), id), className);
}

bool CHTMLDocumentModel::SetElementClass(const QString& id, const QString& className)
{
    return Remember(ById(QStringLiteral("setClass"), id, {className}));
}

bool CHTMLDocumentModel::GetElementAttribute(const QString& id, const QString& name, QString& value)
{
    return Read(ById(QStringLiteral("getAttr"), id, {name}), value);
}

bool CHTMLDocumentModel::GetElementInnerHTML(const QString& id, QString& html)
{
    return Read(ById(QStringLiteral("getInnerHTML"), id), html);
}

bool CHTMLDocumentModel::SetElementInnerHTML(const QString& id, const QString& html)
{
    return Remember(ById(QStringLiteral("setInnerHTML"), id, {html}));
}

bool CHTMLDocumentModel::SetElementInnerText(const QString& id, const QString& text)
{
    return Remember(ById(QStringLiteral("setInnerText"), id, {text}));
}

bool CHTMLDocumentModel::SetElementInnerTextAndTitle(const QString& id, const QString& text)
{
    return Remember(ById(QStringLiteral("setInnerTextAndTitle"), id, {text}));
}

CHTMLElement CHTMLDocumentModel::GetElementById(const QString& id)
{
    return m_document.GetElementById(id);
}

QList<CHTMLElement> CHTMLDocumentModel::GetElementsByName(const QString& name)
{
    return m_document.GetElementsByName(name);
}

void DDX_HTMLCheck(CHTMLDataExchange* pDX, const QString& id, bool& value)
{
    if (pDX->m_bSaveAndValidate)
        pDX->m_pDocument->GetCheck(id, value);
    else
        pDX->m_pDocument->SetCheck(id, value);
}

void DDX_HTMLText(CHTMLDataExchange* pDX, const QString& id, QString& value)
{
    if (pDX->m_bSaveAndValidate)
        pDX->m_pDocument->GetInputTextValue(id, value);
    else
        pDX->m_pDocument->SetInputTextValue(id, value);
}

void DDX_HTMLRadio(CHTMLDataExchange* pDX, const QString& group, QString& value)
{
    if (pDX->m_bSaveAndValidate)
        pDX->m_pDocument->GetRadioSelection(group, value);
    else
        pDX->m_pDocument->SetRadioSelection(group, value);
}

void DDX_HTMLSelect(CHTMLDataExchange* pDX, const QString& id, QString& value)
{
    if (pDX->m_bSaveAndValidate)
        pDX->m_pDocument->GetSelectedOption(id, value);
    else
        pDX->m_pDocument->SetSelectedOption(id, value);
}
