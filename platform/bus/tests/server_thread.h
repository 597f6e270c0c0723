// A BusServer running on its own thread inside the test process, so bus tests
// need no separate service program (and run under the sanitizers whole).
#pragma once

#include <QDBusConnection>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "bus/bus_server.h"
#include "servicelink/korva_constants.h"

class ServerThread {
public:
    using Setup = std::function<void(bus::BusServer&)>;

    explicit ServerThread(Setup setup, bus::Limits limits = bus::Limits())
        : m_setup(std::move(setup)), m_limits(limits)
    {
    }
    ~ServerThread() { Stop(); }

    bool Start()
    {
        static std::atomic<int> counter{0};
        m_name = QStringLiteral("test-server-%1").arg(++counter);
        m_thread = std::make_unique<QThread>();
        m_context = new QObject();
        m_context->moveToThread(m_thread.get());
        m_thread->start();
        bool ok = false;
        Run([&] {
            QDBusConnection connection =
                QDBusConnection::connectToBus(QString::fromUtf8(std::getenv("DBUS_SESSION_BUS_ADDRESS")), m_name);
            m_server = new bus::BusServer(connection, m_limits);
            m_setup(*m_server);
            std::string error;
            ok = m_server->Start(QString::fromLatin1(NKorvaConstants::SERVICE_BUS_NAME), &error);
        });
        return ok;
    }

    void Stop()
    {
        if (!m_thread)
            return;
        Run([&] {
            delete m_server;
            m_server = nullptr;
            QDBusConnection::disconnectFromBus(m_name);
            delete m_context;
        });
        m_thread->quit();
        m_thread->wait();
        m_thread.reset();
    }

    // Runs F on the server's thread and waits for it.
    template <typename F>
    void Run(F f)
    {
        QMetaObject::invokeMethod(m_context, f, Qt::BlockingQueuedConnection);
    }

    bus::BusServer& Server() { return *m_server; }

private:
    Setup m_setup;
    bus::Limits m_limits;
    QString m_name;
    std::unique_ptr<QThread> m_thread;
    QObject* m_context = nullptr;
    bus::BusServer* m_server = nullptr;
};
