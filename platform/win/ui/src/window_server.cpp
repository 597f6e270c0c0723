// The window server: answers other processes' calls on this process's
// windows. Runs on the main thread.

#include "win/ui/window_server.h"

#include "peer_directory.h"
#include "server_requests.h"
#include "wire_format.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <memory>
#include <mutex>
#include <unistd.h>

namespace win {
namespace detail {
namespace {

// Limits that keep a misbehaving or hostile peer from holding resources.
constexpr int kMaxConnections = 32;
constexpr int kIdleTimeoutMs = 10000;
constexpr qsizetype kMaxBuffered = 4 + wire::kMaxPayload;

class Connection : public QObject {
public:
    Connection(QLocalSocket* socket, QObject* parent, WindowServerCounters& counters)
        : QObject(parent), m_pSocket(socket), m_counters(counters)
    {
        socket->setParent(this);
        m_idle.setSingleShot(true);
        m_idle.setInterval(kIdleTimeoutMs);
        QObject::connect(&m_idle, &QTimer::timeout, this, [this] { Close(); });
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this] { OnReadable(); });
        QObject::connect(socket, &QLocalSocket::disconnected, this, [this] { OnDisconnected(); });
        m_idle.start();
    }

private:
    void OnReadable()
    {
        // A request may run a nested event loop (a send whose handler opens
        // a dialog); frames arriving meanwhile wait for the outer loop here.
        if (m_bBusy)
            return;
        m_bBusy = true;
        QPointer<Connection> self(this);
        while (self && m_pSocket) {
            m_buffer += m_pSocket->read(kMaxBuffered - m_buffer.size());
            QByteArray payload;
            wire::Split split = wire::TakeFrame(m_buffer, payload);
            if (split == wire::Split::NeedMore)
                break;
            if (split == wire::Split::Bad) {
                ++m_counters.connectionsDropped;
                m_bBusy = false;
                Close();
                return;
            }
            m_idle.start();
            std::optional<wire::Request> request = wire::DecodeRequest(payload);
            if (!request) {
                ++m_counters.framesMalformed;
                continue;
            }
            ++m_counters.framesHandled;
            wire::Reply reply = AnswerRequest(*request, m_counters);
            if (!self)
                return;  // torn down while the request ran
            if (m_pSocket && m_pSocket->state() == QLocalSocket::ConnectedState)
                m_pSocket->write(wire::EncodeReply(reply));
        }
        if (!self)
            return;
        m_bBusy = false;
        if (m_bClosePending)
            Close();
    }

    void OnDisconnected()
    {
        // Frames the peer wrote before closing are still to be read (a post
        // from a process that exits right away).
        if (m_pSocket && m_pSocket->bytesAvailable() > 0)
            OnReadable();
        Close();
    }

    void Close()
    {
        if (m_bBusy) {
            m_bClosePending = true;
            return;
        }
        m_idle.stop();
        if (m_pSocket) {
            m_pSocket->disconnect(this);
            m_pSocket->abort();
        }
        deleteLater();
    }

    QPointer<QLocalSocket> m_pSocket;
    WindowServerCounters& m_counters;
    QTimer m_idle;
    QByteArray m_buffer;
    bool m_bBusy = false;
    bool m_bClosePending = false;
};

class WindowServer : public QObject {
public:
    bool Start()
    {
        std::filesystem::path folder = WindowsFolder();
        auto processId = static_cast<std::uint32_t>(::getpid());
        QString path = QString::fromStdString((folder / (std::to_string(processId) + ".sock")).string());
        if (m_server && m_server->isListening() && path == m_path)
            return true;
        Stop();
        if (!m_lock.Acquire(folder, processId))
            return false;
        m_server = std::make_unique<QLocalServer>();
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        m_server->setMaxPendingConnections(kMaxConnections);
        QLocalServer::removeServer(path);
        if (!m_server->listen(path)) {
            qWarning("window server: cannot listen on %s: %s", qPrintable(path),
                     qPrintable(m_server->errorString()));
            m_server.reset();
            m_lock.Release();
            return false;
        }
        m_path = path;
        QObject::connect(m_server.get(), &QLocalServer::newConnection, this, [this] { Accept(); });
        return true;
    }

    void Stop()
    {
        if (m_server) {
            m_server->close();
            m_server.reset();
        }
        m_path.clear();
        m_lock.Release();
    }

    QString path() const { return m_path; }
    WindowServerCounters& counters() { return m_counters; }

private:
    void Accept()
    {
        while (QLocalSocket* socket = m_server ? m_server->nextPendingConnection() : nullptr) {
            if (m_nConnections >= kMaxConnections) {
                ++m_counters.connectionsDropped;
                socket->abort();
                socket->deleteLater();
                continue;
            }
            auto* connection = new Connection(socket, this, m_counters);
            ++m_nConnections;
            QObject::connect(connection, &QObject::destroyed, this, [this] { --m_nConnections; });
        }
    }

    std::unique_ptr<QLocalServer> m_server;
    ServerLock m_lock;
    QString m_path;
    WindowServerCounters m_counters;
    int m_nConnections = 0;
};

WindowServer* g_pServer = nullptr;

bool OnMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

WindowServer* Server()
{
    if (g_pServer == nullptr && OnMainThread()) {
        g_pServer = new WindowServer;
        // Gone with the application: the socket and lock files are removed
        // at a clean exit, a crash leaves them for the next caller to reap.
        QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] {
            delete g_pServer;
            g_pServer = nullptr;
        });
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
            if (g_pServer != nullptr)
                g_pServer->Stop();
        });
    }
    return g_pServer;
}

// Every process with a QApplication serves its windows from the first run
// of its event loop on: by then the application object is fully built.
void StartAtFirstEventLoop()
{
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
            StartWindowServer();
    });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartAtFirstEventLoop)

// Referenced from the other parts of the library so this file, and with it
// the start-up hook above, is linked into every program that uses them.
void EnsureWindowServerLinked() {}

}  // namespace detail

bool StartWindowServer()
{
    detail::WindowServer* server = detail::Server();
    return server != nullptr && server->Start();
}

void StopWindowServer()
{
    if (detail::OnMainThread() && detail::g_pServer != nullptr)
        detail::g_pServer->Stop();
}

QString WindowServerPath()
{
    if (!detail::OnMainThread() || detail::g_pServer == nullptr)
        return {};
    return detail::g_pServer->path();
}

WindowServerCounters WindowServerStatistics()
{
    if (!detail::OnMainThread() || detail::g_pServer == nullptr)
        return {};
    return detail::g_pServer->counters();
}

}  // namespace win
