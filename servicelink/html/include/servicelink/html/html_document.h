// A handle to the document a browser shows, and the synchronous calls into it.
//
// Page script runs in the browser's own process and answers asynchronously;
// the system's code expects an answer before it goes on (read a check box,
// then decide). Every call here therefore waits for the page's answer in a
// nested event loop that skips user input, bounded by a time-out. While it
// waits, timers, posted events and other pages still run; calls that page
// script makes on window.external meanwhile are held back and delivered once
// the outermost wait is over, so C++ code is never re-entered from script in
// the middle of a call. A page that does not answer in time fails the call
// with HtmlCallStatus::TimedOut; later calls to that page fail at once
// (Unresponsive) until the late answer arrives, so a hung page costs one
// time-out, not one per call.
//
// Page script functions run in the page's own script world. Element
// operations run in a script world of the host's own, which shares the DOM
// with the page but none of its script, so page script can neither see nor
// change the helpers.
//
// A handle may carry the page key of the document it was bound to; calls
// through it then fail with DocumentChanged once the browser shows a
// document under another key (a loader must not write into the next page).
#pragma once

#include "servicelink/html/html_call_result.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>

class CHTMLElement;

class CHTMLDocument {
public:
    CHTMLDocument() = default;
    // KEY: the page key the document was bound under; empty means no check.
    explicit CHTMLDocument(QWebEnginePage* page, QString key = {});

    // True when no page is bound or the page is gone.
    bool IsNull() const { return m_page.isNull(); }
    QWebEnginePage* Page() const { return m_page.data(); }
    QUrl Url() const;
    const QString& Key() const { return m_key; }

    // The wait of each call, in milliseconds; 0 or less uses the default.
    void SetCallTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int CallTimeout() const;
    static void SetDefaultCallTimeout(int milliseconds);
    static int DefaultCallTimeout();

    // Calls the page's script function NAME with text arguments. The value is
    // the function's result as text (empty for undefined and null).
    CHtmlCallResult CallFunction(const QString& name, const QStringList& args = {}) const;

    // Runs SOURCE in the page's own script world and answers its value.
    CHtmlCallResult RunPageScript(const QString& source) const;

    // Makes script errors of the page silent (window.onerror answers that the
    // error is handled). The host does this on every completed document.
    bool InsertErrorSilencingScript() const;

    // One element operation of the host's script world; LOCATOR is {"id": …}
    // or {"ref": …}. The named operations of CHTMLDocumentModel and
    // CHTMLElement are built on it.
    CHtmlCallResult ElementOperation(const QString& operation, const QJsonObject& locator,
                                     const QJsonArray& args = {}) const;

    // Element look-ups; a null element when there is none or the call failed.
    CHTMLElement GetElementById(const QString& id) const;
    CHTMLElement GetElementFromPoint(const QPoint& viewPoint) const;
    // Elements in document order; empty when there are none or the call failed.
    QList<CHTMLElement> GetElementsByName(const QString& name) const;
    QList<CHTMLElement> GetElementsByTagName(const QString& tagName) const;

private:
    CHtmlCallResult Run(const QString& source, unsigned worldId) const;
    QList<CHTMLElement> ElementList(const CHtmlCallResult& result) const;

    QPointer<QWebEnginePage> m_page;
    QString m_key;
    int m_timeoutMs = 0;
};
