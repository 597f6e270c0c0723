// The dispatch part of a host controller: the window.external object that
// page script sees.
//
// A call from page script names a method and gives its arguments. The
// dispatch first asks whether the calling document may call at all: only
// documents whose URL starts with a trusted prefix may ("res:" always; the
// host adds the prefixes it loads its own pages from, such as the value of
// the html switch). Then it looks the method up in the shown page's document
// model, and then in the handlers added with AddHandler, in the order they
// were added. Refused calls are logged and counted; they never reach a method.
#pragma once

#include "servicelink/html/script_methods.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>

#include <vector>

class CScriptDispatch {
public:
    CScriptDispatch();

    // Exposes TARGET's script-callable methods. Adding a target twice has no
    // effect; a destroyed target drops out by itself.
    void AddHandler(CScriptCommandTarget* target);
    void RemoveHandler(CScriptCommandTarget* target);

    // Documents whose URL text starts with PREFIX (compared without regard to
    // case) may call. An empty prefix is ignored.
    void AddTrustedUrlPrefix(const QString& prefix);
    bool IsTrusted(const QUrl& caller) const;

    // Runs a call from page script. PAGETARGET is the shown page's model (or
    // null). *ERROR says why a call was refused.
    ScriptCallStatus Invoke(const QUrl& caller, const QString& method, const QVariantList& args,
                            CScriptCommandTarget* pageTarget, QString* error = nullptr);

    // Calls refused since construction (untrusted, unknown, bad arguments,
    // failed): a count for diagnostics and tests.
    int RefusedCalls() const { return m_refused; }

private:
    std::vector<CTargetRef<CScriptCommandTarget>> m_handlers;
    QStringList m_trustedPrefixes;
    int m_refused = 0;
};
