#include "test_support.h"

#include "win/state_root.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <cstdlib>

namespace browser_test {

ScopedStateRoot::ScopedStateRoot()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kelm-browser-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "mkdtemp failed";
    m_path = pattern;
    ::setenv(win::kStateRootVariable, m_path.c_str(), 1);
}

ScopedStateRoot::~ScopedStateRoot()
{
    ::unsetenv(win::kStateRootVariable);
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return condition();
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

LocalHttpServer::LocalHttpServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::Serve);
}

QString LocalHttpServer::Url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
}

void LocalHttpServer::Serve()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            QList<QByteArray> line = buffer->left(buffer->indexOf("\r\n")).split(' ');
            QString path = QString::fromUtf8(line.value(1));
            m_requests << path;
            auto it = m_pages.find(path.section(QLatin1Char('?'), 0, 0));
            Page page = it != m_pages.end() ? *it : Page{404, "text/html", "<html><body>not here</body></html>"};
            QByteArray head = "HTTP/1.1 " + QByteArray::number(page.status) + " X\r\nContent-Type: " +
                              page.contentType + "\r\nContent-Length: " + QByteArray::number(page.body.size()) +
                              "\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n";
            socket->write(head + page.body);
            socket->disconnectFromHost();
            buffer->clear();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

}  // namespace browser_test
