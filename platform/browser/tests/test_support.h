// Shared helpers of the browser tests: a fresh state root per test, waiting
// for a condition while the event loop runs, and a small HTTP server on
// 127.0.0.1 that answers from a table of pages.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace browser_test {

// KELM_STATE_ROOT at a new temporary folder for the object's life.
class ScopedStateRoot {
public:
    ScopedStateRoot();
    ~ScopedStateRoot();
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Runs the event loop until CONDITION holds or TIMEOUT_MS pass; the result
// of the last check.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 15000);
// Runs the event loop for MS milliseconds.
void Spin(int ms);

struct Page {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
};

class LocalHttpServer : public QObject {
public:
    LocalHttpServer();
    void Add(const QString& path, Page page) { m_pages.insert(path, std::move(page)); }
    void Add(const QString& path, const QByteArray& html) { m_pages.insert(path, Page{200, "text/html; charset=utf-8", html}); }
    QString Url(const QString& path) const;
    // Paths asked for, in order.
    const QStringList& requests() const { return m_requests; }

private:
    void Serve();

    QTcpServer m_server;
    QHash<QString, Page> m_pages;
    QStringList m_requests;
};

}  // namespace browser_test
