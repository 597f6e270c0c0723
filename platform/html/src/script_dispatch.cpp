#include "servicelink/html/script_dispatch.h"

#include "html_log.h"

#include <algorithm>

CScriptDispatch::CScriptDispatch()
{
    m_trustedPrefixes.append(QStringLiteral("res:"));
}

void CScriptDispatch::AddHandler(CScriptCommandTarget* target)
{
    if (target == nullptr)
        return;
    for (const auto& handler : m_handlers) {
        if (handler == target)
            return;
    }
    m_handlers.emplace_back(target);
}

void CScriptDispatch::RemoveHandler(CScriptCommandTarget* target)
{
    std::erase_if(m_handlers, [target](const auto& handler) { return handler == target || !handler; });
}

void CScriptDispatch::AddTrustedUrlPrefix(const QString& prefix)
{
    if (!prefix.isEmpty() && !m_trustedPrefixes.contains(prefix, Qt::CaseInsensitive))
        m_trustedPrefixes.append(prefix);
}

bool CScriptDispatch::IsTrusted(const QUrl& caller) const
{
    if (!caller.isValid())
        return false;
    const QString text = caller.toString(QUrl::FullyEncoded);
    const QString decoded = caller.toString(QUrl::PrettyDecoded);
    return std::any_of(m_trustedPrefixes.begin(), m_trustedPrefixes.end(), [&](const QString& prefix) {
        return text.startsWith(prefix, Qt::CaseInsensitive) || decoded.startsWith(prefix, Qt::CaseInsensitive);
    });
}

ScriptCallStatus CScriptDispatch::Invoke(const QUrl& caller, const QString& method, const QVariantList& args,
                                         CScriptCommandTarget* pageTarget, QString* error)
{
    QString why;
    ScriptCallStatus status = ScriptCallStatus::UnknownMethod;
    if (!IsTrusted(caller)) {
        status = ScriptCallStatus::Untrusted;
        why = QStringLiteral("document %1 may not call the host").arg(caller.toDisplayString());
    } else {
        CScriptCommandTarget* target = nullptr;
        if (pageTarget != nullptr && pageTarget->GetScriptMethods().Contains(method)) {
            target = pageTarget;
        } else {
            for (const auto& handler : m_handlers) {
                CScriptCommandTarget* candidate = handler.get();
                if (candidate != nullptr && candidate->GetScriptMethods().Contains(method)) {
                    target = candidate;
                    break;
                }
            }
        }
        if (target == nullptr)
            why = QStringLiteral("no method '%1'").arg(method);
        else
            status = target->GetScriptMethods().Invoke(method, args, &why);
    }
    if (status != ScriptCallStatus::Ok) {
        ++m_refused;
        qCWarning(lcHtml).noquote() << "refused page call" << method << "from" << caller.toDisplayString() << "-"
                                    << ScriptCallStatusName(status) << "-" << why;
    }
    if (error != nullptr)
        *error = why;
    return status;
}
