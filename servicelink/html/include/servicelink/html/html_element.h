// One element of a shown document, as a handle the host can keep for a while.
//
// The handle names the element by a reference that the host's script world
// keeps for that document alone; once the browser shows another document the
// reference finds nothing and every operation fails with NoElement. Each
// operation is one synchronous call (see html_document.h); failures answer
// false and leave the output untouched.
#pragma once

#include "servicelink/html/html_document.h"

#include <QRect>
#include <QString>

class CHTMLElement {
public:
    CHTMLElement() = default;
    CHTMLElement(CHTMLDocument document, QString ref, QString id, QString tagName);

    bool IsNull() const { return m_ref.isEmpty(); }
    const CHTMLDocument& GetDocument() const { return m_document; }
    // The id and the upper-case tag name as they were when the handle was made.
    const QString& GetId() const { return m_id; }
    const QString& GetTagName() const { return m_tagName; }
    const QString& Reference() const { return m_ref; }

    // An absent attribute reads as an empty text.
    bool GetAttribute(const QString& name, QString& value) const;
    bool SetAttribute(const QString& name, const QString& value) const;
    bool RemoveAttribute(const QString& name) const;
    bool Click() const;
    bool Focus() const;
    bool GetCheck(bool& checked) const;
    bool SetCheck(bool checked) const;
    bool GetValue(QString& value) const;
    bool SetValue(const QString& value) const;
    bool GetClass(QString& className) const;
    bool SetClass(const QString& className) const;
    bool GetInnerHTML(QString& html) const;
    bool SetInnerHTML(const QString& html) const;
    bool SetInnerText(const QString& text) const;
    // One property of the element's inline style, such as "visibility".
    bool SetStyle(const QString& property, const QString& value) const;
    // The element's box in the browser's widget coordinates.
    bool GetRect(QRect& rect) const;
    // True for text entry: text-like inputs, text areas, editable content.
    bool IsTextInput(bool& textInput) const;

private:
    CHtmlCallResult Op(const QString& operation, const QJsonArray& args = {}) const;

    CHTMLDocument m_document;
    QString m_ref;
    QString m_id;
    QString m_tagName;
};
