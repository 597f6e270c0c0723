// Synchronous document calls for add-ons: runs one operation of the page's
// DOM helper and waits for its answer in a nested event loop that skips user
// input, at most win::kDomCallTimeoutMs.
//
// The helper is a script put into the top document of every page before any
// page script runs, in the page's own world (so handler properties the page
// set are visible). It keeps the DOM functions it uses from that moment and
// numbers the elements handed out, per document; a number from an earlier
// document is refused (E_HANDLE). Answers are checked for shape here.
#pragma once

#include "browser/com.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <optional>
#include <vector>

class QWebEnginePage;

namespace kb::engine {

class CBrowserHost;

// An element as the helper numbers it: the document it belongs to (the top
// document's helper instance) and its number there.
struct ElementRef {
    QString document;
    qint64 number = 0;
};

class CDomBridge {
public:
    CDomBridge(CBrowserHost* host, QWebEnginePage* page);

    // Runs OP with ARGS; the answer's value, or nothing with *FAILURE set:
    // E_HANDLE (stale element), E_ACCESSDENIED (frame of another origin),
    // HRESULT_FROM_WIN32(ERROR_TIMEOUT), E_FAIL (no helper, bad answer, page gone).
    // (ARGS is a list of values: a single array argument stays one argument.)
    std::optional<QJsonValue> Call(const QString& op, std::initializer_list<QJsonValue> args, win::HRESULT* failure);

    // Runs SOURCE in the page's main world without waiting (internal use).
    void RunDetached(const QString& source);

    static QJsonArray PathToJson(const std::vector<int>& path);
    static std::optional<std::vector<int>> PathFromJson(const QJsonValue& value);
    static std::optional<ElementRef> RefFromJson(const QJsonValue& value);
    static QJsonValue RefToJson(const ElementRef& ref);

private:
    CBrowserHost* m_pHost;
    QPointer<QWebEnginePage> m_pPage;
};

// The helper script, defining window[HELPER_NAME] and the web page dialog
// functions, which ask the browser for a dialog with DIALOG_NONCE.
QString DomHelperScript(const QString& helperName, const QString& dialogNonce);

}  // namespace kb::engine
