#include "bus_link.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QMetaObject>
#include <QtGlobal>
#include <cstdlib>

#include "bus/wire.h"
#include "servicelink/korva_constants.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_request.h"

namespace bus {

void NotificationReceiver::OnNotification(const QDBusMessage& message)
{
    Decoded decoded = DecodeMessage(message);
    if (decoded.status != DecodeStatus::Ok) {
        qWarning("bus: dropped a malformed notification: %s", decoded.error.c_str());
        return;
    }
    CMsgRequest request;
    static_cast<CDictionary&>(request) = std::move(decoded.values);
    request.SetExParams(std::move(decoded.rowSets));
    request.SetRequestName(std::move(decoded.name));
    CMsgDispatcher::Instance().Deliver(request);
}

void NotificationReceiver::OnServiceOwnerChanged(const QString& /*name*/, const QString& /*oldOwner*/,
                                                 const QString& newOwner)
{
    // A restarted service knows nothing of this process's subscriptions.
    if (!newOwner.isEmpty())
        CMsgDispatcher::Instance().Resubscribe();
}

BusLink& BusLink::Instance()
{
    // Never destroyed: the bus thread may still deliver while static
    // destructors run. The thread is stopped when the application object goes.
    static BusLink* link = [] {
        auto* created = new BusLink();
        qAddPostRoutine([] { BusLink::Instance().StopThread(/*wait=*/true); });
        return created;
    }();
    return *link;
}

bool BusLink::ConnectLocked()
{
    if (m_connection && m_connection->isConnected())
        return true;
    if (m_connection) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_connection.reset();
        m_hookedBusName.clear();
    }
    RegisterTypes();
    m_connectionName = QStringLiteral("kelm-bus-%1").arg(++m_generation);
    // The address is read at every connect (not cached as the default session
    // connection is), so a process follows a restarted or replaced bus.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    QDBusConnection connection =
        (address != nullptr && *address != '\0')
            ? QDBusConnection::connectToBus(QString::fromUtf8(address), m_connectionName)
            : QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
    m_connection = std::make_unique<QDBusConnection>(connection);
    return m_connection->isConnected();
}

QDBusConnection BusLink::Connection()
{
    std::lock_guard lock(m_mutex);
    const bool wasConnected = m_connection && m_connection->isConnected();
    const bool connected = ConnectLocked();
    if (connected && !wasConnected && m_thread != nullptr && !m_hookedBusName.isEmpty()) {
        const QString busName = m_hookedBusName;
        m_hookedBusName.clear();
        HookLocked(busName);
    }
    return *m_connection;
}

void BusLink::HookLocked(const QString& busName)
{
    if (m_hookedBusName == busName || !m_connection || !m_connection->isConnected())
        return;
    m_connection->connect(busName, QString::fromLatin1(NKorvaConstants::SERVICE_OBJECT_PATH),
                          QString::fromLatin1(NKorvaConstants::SERVICE_INTERFACE),
                          QString::fromLatin1(kNotificationSignal), m_receiver,
                          SLOT(OnNotification(QDBusMessage)));
    m_connection->connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                          QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"),
                          QStringList{busName}, QString(), m_receiver,
                          SLOT(OnServiceOwnerChanged(QString, QString, QString)));
    m_hookedBusName = busName;
}

bool BusLink::EnsureThread(const QString& busName)
{
    std::lock_guard lock(m_mutex);
    if (!ConnectLocked())
        return false;
    if (m_thread == nullptr) {
        m_thread = new QThread();
        m_thread->setObjectName(QStringLiteral("kelm-bus"));
        m_receiver = new NotificationReceiver();
        m_receiver->moveToThread(m_thread);
        m_thread->start();
        m_hookedBusName.clear();
    }
    HookLocked(busName);
    return true;
}

void BusLink::StopThread(bool wait)
{
    QThread* thread = nullptr;
    NotificationReceiver* receiver = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_thread == nullptr)
            return;
        if (m_connection && !m_hookedBusName.isEmpty()) {
            m_connection->disconnect(m_hookedBusName, QString::fromLatin1(NKorvaConstants::SERVICE_OBJECT_PATH),
                                     QString::fromLatin1(NKorvaConstants::SERVICE_INTERFACE),
                                     QString::fromLatin1(kNotificationSignal), m_receiver,
                                     SLOT(OnNotification(QDBusMessage)));
            m_connection->disconnect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"),
                                     QStringList{m_hookedBusName}, QString(), m_receiver,
                                     SLOT(OnServiceOwnerChanged(QString, QString, QString)));
        }
        m_hookedBusName.clear();
        thread = m_thread;
        receiver = m_receiver;
        m_thread = nullptr;
        m_receiver = nullptr;
    }
    // The receiver is deleted on its own thread, after anything queued to it.
    receiver->deleteLater();
    thread->quit();
    if (QThread::currentThread() == thread) {
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        return;
    }
    if (wait) {
        thread->wait();
        delete thread;
    } else {
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    }
}

bool BusLink::OnBusThread() const
{
    auto* self = const_cast<BusLink*>(this);
    std::lock_guard lock(self->m_mutex);
    return m_thread != nullptr && QThread::currentThread() == m_thread;
}

bool BusLink::CallNames(const QString& busName, const char* method, const QStringList& names)
{
    QDBusConnection connection = Connection();
    if (!connection.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(busName, QString::fromLatin1(NKorvaConstants::SERVICE_OBJECT_PATH),
                                                       QString::fromLatin1(NKorvaConstants::SERVICE_INTERFACE),
                                                       QString::fromLatin1(method));
    call << names;
    const QDBusMessage reply = connection.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace bus
