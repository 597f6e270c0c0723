#include "external_bridge.h"

#include "html_log.h"
#include "servicelink/html/browser_control.h"
#include "servicelink/html/custom_control_site.h"
#include "sync_script_runner.h"

#include <QTimer>
#include <QWebEnginePage>

CExternalBridge::CExternalBridge(QWebEnginePage* page, CBrowserControl* control)
    : QObject(page), m_page(page), m_control(control)
{
    connect(&CSyncCallGate::Instance(), &CSyncCallGate::released, this, [this] {
        if (!m_held.isEmpty() && !m_flushQueued) {
            // Deliver from the event loop, not from inside the call that just
            // returned: its caller goes on first.
            m_flushQueued = true;
            QTimer::singleShot(0, this, &CExternalBridge::DeliverHeld);
        }
    });
}

void CExternalBridge::invoke(const QString& method, const QVariantList& args)
{
    if (m_page.isNull())
        return;
    // The caller is the document shown now: the channel of a page serves only
    // its main frame, and its URL is the engine's, not the page script's word.
    HeldCall call{m_page->url(), method, args};
    if (CSyncCallGate::Instance().Busy() || !m_held.isEmpty()) {
        m_held.append(std::move(call));
        return;
    }
    Deliver(call);
}

void CExternalBridge::Deliver(const HeldCall& call)
{
    CCustomControlSite* site = m_control ? m_control->GetSite() : nullptr;
    if (site == nullptr) {
        qCWarning(lcHtml) << "page call" << call.method << "has no host";
        return;
    }
    site->InvokeExternal(call.caller, call.method, call.args);
}

void CExternalBridge::DeliverHeld()
{
    m_flushQueued = false;
    QPointer<CExternalBridge> alive(this);
    while (alive && !m_held.isEmpty()) {
        if (CSyncCallGate::Instance().Busy())
            return;  // a method started a synchronous call; released() resumes
        const HeldCall call = m_held.takeFirst();
        Deliver(call);
    }
}
