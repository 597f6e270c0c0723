// The process's one connection to the session bus and the bus thread on
// which notifications arrive. Internal to the bus library.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <memory>
#include <mutex>
#include <string>

namespace bus {

// Lives on the bus thread; receives the service's Notification signals and
// notices when the service (re)appears.
class NotificationReceiver : public QObject {
    Q_OBJECT
public slots:
    void OnNotification(const QDBusMessage& message);
    void OnServiceOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
};

class BusLink {
public:
    static BusLink& Instance();

    // The connection, made (or made again after the bus went away) on
    // demand. Not connected when no session bus can be reached.
    QDBusConnection Connection();

    // Starts the bus thread and hooks the notification signal of BUS_NAME.
    bool EnsureThread(const QString& busName);
    // Stops the bus thread; WAIT joins it (never from the thread itself).
    void StopThread(bool wait);
    bool OnBusThread() const;

    // Calls Subscribe or Unsubscribe on the service owning BUS_NAME.
    bool CallNames(const QString& busName, const char* method, const QStringList& names);

private:
    BusLink() = default;
    bool ConnectLocked();
    void HookLocked(const QString& busName);

    std::recursive_mutex m_mutex;
    std::unique_ptr<QDBusConnection> m_connection;
    QString m_connectionName;
    int m_generation = 0;
    QThread* m_thread = nullptr;
    NotificationReceiver* m_receiver = nullptr;
    QString m_hookedBusName;
};

}  // namespace bus
