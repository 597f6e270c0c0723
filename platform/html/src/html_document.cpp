#include "servicelink/html/html_document.h"

#include "element_script.h"
#include "html_log.h"
#include "servicelink/html/html_element.h"
#include "servicelink/html/page_key.h"
#include "sync_script_runner.h"

#include <QThread>
#include <QVariantList>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {

int g_defaultTimeoutMs = 5000;

}  // namespace

CHTMLDocument::CHTMLDocument(QWebEnginePage* page, QString key)
    : m_page(page), m_key(std::move(key))
{
}

QUrl CHTMLDocument::Url() const
{
    return m_page ? m_page->url() : QUrl();
}

int CHTMLDocument::CallTimeout() const
{
    return m_timeoutMs > 0 ? m_timeoutMs : g_defaultTimeoutMs;
}

void CHTMLDocument::SetDefaultCallTimeout(int milliseconds)
{
    if (milliseconds > 0)
        g_defaultTimeoutMs = milliseconds;
}

int CHTMLDocument::DefaultCallTimeout()
{
    return g_defaultTimeoutMs;
}

CHtmlCallResult CHTMLDocument::Run(const QString& source, unsigned worldId) const
{
    if (m_page.isNull())
        return {HtmlCallStatus::NoDocument, {}, QStringLiteral("no document is bound")};
    if (QThread::currentThread() != m_page->thread())
        return {HtmlCallStatus::WrongThread, {}, QStringLiteral("page calls must come from the page's own thread")};
    if (!m_key.isEmpty() && PageKeyFromUrl(m_page->url()) != m_key) {
        return {HtmlCallStatus::DocumentChanged, {},
                QStringLiteral("the browser shows %1, not the page %2").arg(m_page->url().toDisplayString(), m_key)};
    }
    return RunScriptSynchronously(m_page.data(), source, worldId, CallTimeout());
}

CHtmlCallResult CHTMLDocument::CallFunction(const QString& name, const QStringList& args) const
{
    if (!IsScriptIdentifier(name))
        return {HtmlCallStatus::BadInput, {}, QStringLiteral("'%1' is no script function name").arg(name)};
    CHtmlCallResult result = Run(FunctionCallScript(name, args), QWebEngineScript::MainWorld);
    if (!result.ok())
        qCDebug(lcHtml).noquote() << "call of" << name << "failed:" << HtmlCallStatusName(result.status) << result.message;
    return result;
}

CHtmlCallResult CHTMLDocument::RunPageScript(const QString& source) const
{
    return Run(ExpressionScript(source), QWebEngineScript::MainWorld);
}

bool CHTMLDocument::InsertErrorSilencingScript() const
{
    // Answering "handled" from window.onerror keeps script errors of the page
    // out of every report; the page keeps working as before.
    return RunPageScript(QStringLiteral("(window.onerror = function () { return true; }, true)")).ok();
}

CHtmlCallResult CHTMLDocument::ElementOperation(const QString& operation, const QJsonObject& locator,
                                                const QJsonArray& args) const
{
    CHtmlCallResult result = Run(ElementOperationScript(operation, locator, args), kElementWorldId);
    if (!result.ok())
        qCDebug(lcHtml).noquote() << "element operation" << operation << "failed:" << HtmlCallStatusName(result.status)
                                  << result.message;
    return result;
}

namespace {

CHTMLElement ElementFrom(const CHTMLDocument& document, const QVariant& value)
{
    const QVariantMap handle = value.toMap();
    const QString ref = handle.value(QStringLiteral("ref")).toString();
    if (ref.isEmpty())
        return {};
    return CHTMLElement(document, ref, handle.value(QStringLiteral("id")).toString(),
                        handle.value(QStringLiteral("tag")).toString());
}

}  // namespace

QList<CHTMLElement> CHTMLDocument::ElementList(const CHtmlCallResult& result) const
{
    QList<CHTMLElement> elements;
    if (!result.ok())
        return elements;
    for (const QVariant& value : result.value.toList()) {
        CHTMLElement element = ElementFrom(*this, value);
        if (!element.IsNull())
            elements.append(element);
    }
    return elements;
}

CHTMLElement CHTMLDocument::GetElementById(const QString& id) const
{
    const CHtmlCallResult result = ElementOperation(QStringLiteral("handle"), QJsonObject{{QStringLiteral("id"), id}});
    return result.ok() ? ElementFrom(*this, result.value) : CHTMLElement();
}

CHTMLElement CHTMLDocument::GetElementFromPoint(const QPoint& viewPoint) const
{
    if (m_page.isNull())
        return {};
    // Widget pixels to the page's CSS pixels.
    const double zoom = m_page->zoomFactor() > 0 ? m_page->zoomFactor() : 1.0;
    const CHtmlCallResult result =
        ElementOperation(QStringLiteral("fromPoint"), QJsonObject{},
                         QJsonArray{viewPoint.x() / zoom, viewPoint.y() / zoom});
    return result.ok() ? ElementFrom(*this, result.value) : CHTMLElement();
}

QList<CHTMLElement> CHTMLDocument::GetElementsByName(const QString& name) const
{
    return ElementList(ElementOperation(QStringLiteral("byName"), QJsonObject{{QStringLiteral("name"), name}}));
}

QList<CHTMLElement> CHTMLDocument::GetElementsByTagName(const QString& tagName) const
{
    return ElementList(ElementOperation(QStringLiteral("byTag"), QJsonObject{{QStringLiteral("tag"), tagName}}));
}
