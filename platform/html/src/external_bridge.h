// The one object page script reaches through the web channel: window.external
// sends every call here as a method name and its arguments.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantList>

class CBrowserControl;
class QWebEnginePage;

class CExternalBridge : public QObject {
    Q_OBJECT
public:
    CExternalBridge(QWebEnginePage* page, CBrowserControl* control);

    // Called by page script. Held back while a synchronous call into a page
    // is in progress, then delivered in order.
    Q_INVOKABLE void invoke(const QString& method, const QVariantList& args);

    // The control is being destroyed; calls from now on are dropped.
    void DetachControl() { m_control = nullptr; m_held.clear(); }

private:
    struct HeldCall {
        QUrl caller;
        QString method;
        QVariantList args;
    };
    void Deliver(const HeldCall& call);
    void DeliverHeld();

    QPointer<QWebEnginePage> m_page;
    QPointer<CBrowserControl> m_control;
    QList<HeldCall> m_held;
    bool m_flushQueued = false;
};
