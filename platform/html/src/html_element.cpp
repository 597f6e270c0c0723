#include "servicelink/html/html_element.h"

#include <QVariantList>
#include <QWebEnginePage>

#include <cmath>

CHTMLElement::CHTMLElement(CHTMLDocument document, QString ref, QString id, QString tagName)
    : m_document(std::move(document)), m_ref(std::move(ref)), m_id(std::move(id)), m_tagName(std::move(tagName))
{
}

CHtmlCallResult CHTMLElement::Op(const QString& operation, const QJsonArray& args) const
{
    if (IsNull())
        return {HtmlCallStatus::NoElement, {}, QStringLiteral("null element")};
    return m_document.ElementOperation(operation, QJsonObject{{QStringLiteral("ref"), m_ref}}, args);
}

namespace {

bool ReadText(const CHtmlCallResult& result, QString& out)
{
    if (!result.ok())
        return false;
    out = result.value.toString();
    return true;
}

bool ReadBool(const CHtmlCallResult& result, bool& out)
{
    if (!result.ok())
        return false;
    out = result.value.toBool();
    return true;
}

}  // namespace

bool CHTMLElement::GetAttribute(const QString& name, QString& value) const
{
    return ReadText(Op(QStringLiteral("getAttr"), {name}), value);
}

bool CHTMLElement::SetAttribute(const QString& name, const QString& value) const
{
    return Op(QStringLiteral("setAttr"), {name, value}).ok();
}

bool CHTMLElement::RemoveAttribute(const QString& name) const
{
    return Op(QStringLiteral("removeAttr"), {name}).ok();
}

bool CHTMLElement::Click() const { return Op(QStringLiteral("click")).ok(); }
bool CHTMLElement::Focus() const { return Op(QStringLiteral("focus")).ok(); }
bool CHTMLElement::GetCheck(bool& checked) const { return ReadBool(Op(QStringLiteral("getCheck")), checked); }
bool CHTMLElement::SetCheck(bool checked) const { return Op(QStringLiteral("setCheck"), {checked}).ok(); }
bool CHTMLElement::GetValue(QString& value) const { return ReadText(Op(QStringLiteral("getValue")), value); }
bool CHTMLElement::SetValue(const QString& value) const { return Op(QStringLiteral("setValue"), {value}).ok(); }
bool CHTMLElement::GetClass(QString& className) const { return ReadText(Op(QStringLiteral("getClass")), className); }
bool CHTMLElement::SetClass(const QString& className) const { return Op(QStringLiteral("setClass"), {className}).ok(); }
bool CHTMLElement::GetInnerHTML(QString& html) const { return ReadText(Op(QStringLiteral("getInnerHTML")), html); }
bool CHTMLElement::SetInnerHTML(const QString& html) const { return Op(QStringLiteral("setInnerHTML"), {html}).ok(); }
bool CHTMLElement::SetInnerText(const QString& text) const { return Op(QStringLiteral("setInnerText"), {text}).ok(); }
bool CHTMLElement::IsTextInput(bool& textInput) const { return ReadBool(Op(QStringLiteral("isTextInput")), textInput); }

bool CHTMLElement::SetStyle(const QString& property, const QString& value) const
{
    return Op(QStringLiteral("setStyle"), {property, value}).ok();
}

bool CHTMLElement::GetRect(QRect& rect) const
{
    const CHtmlCallResult result = Op(QStringLiteral("getRect"));
    const QVariantList box = result.value.toList();
    if (!result.ok() || box.size() != 4)
        return false;
    // CSS pixels of the viewport to the browser widget's pixels.
    const QWebEnginePage* page = m_document.Page();
    const double zoom = page != nullptr && page->zoomFactor() > 0 ? page->zoomFactor() : 1.0;
    const auto scaled = [zoom](const QVariant& v) { return static_cast<int>(std::lround(v.toDouble() * zoom)); };
    rect = QRect(scaled(box[0]), scaled(box[1]), scaled(box[2]), scaled(box[3]));
    return true;
}
