#include "servicelink/html/res_scheme.h"

#include "html_log.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include <atomic>

namespace {

const QByteArray kScheme = QByteArrayLiteral("res");

// The registered modules: full module path (without trailing "/") -> source.
QHash<QString, std::shared_ptr<const IResourceSource>>& Modules()
{
    static QHash<QString, std::shared_ptr<const IResourceSource>> modules;
    return modules;
}

// A module's full path as URLs carry it: "/"-separated, absolute, clean,
// without a trailing "/".
QString NormalizeModulePath(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path = QFileInfo(path).absoluteFilePath();
    path = QDir::cleanPath(path);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// Splits a res:// path into the module it lies below and the page path,
// choosing the longest registered module path that is a whole-segment prefix.
bool FindModule(const QString& urlPath, std::shared_ptr<const IResourceSource>& source, QString& pagePath)
{
    qsizetype best = -1;
    for (auto it = Modules().constBegin(); it != Modules().constEnd(); ++it) {
        const QString& module = it.key();
        if (urlPath.size() > module.size() + 1 && urlPath.startsWith(module) &&
            urlPath.at(module.size()) == QLatin1Char('/') && module.size() > best) {
            best = module.size();
            source = it.value();
            pagePath = urlPath.mid(module.size() + 1);
        }
    }
    return best >= 0;
}

// A page path must stay inside its module: no empty, "." or ".." segments.
bool IsSafePagePath(const QString& pagePath)
{
    const QStringList segments = pagePath.split(QLatin1Char('/'));
    for (const QString& segment : segments) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
            return false;
    }
    return !segments.isEmpty();
}

class CResSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        if (job->requestMethod() != QByteArrayLiteral("GET")) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QUrl url = job->requestUrl();
        std::shared_ptr<const IResourceSource> source;
        QString pagePath;
        if (!FindModule(url.path(QUrl::FullyDecoded), source, pagePath) || !IsSafePagePath(pagePath)) {
            qCDebug(lcHtml) << "res:// request outside every module:" << url;
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        const std::optional<QByteArray> bytes = source->ReadPage(pagePath);
        if (!bytes) {
            qCDebug(lcHtml) << "res:// page not found:" << url;
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        static const QMimeDatabase mimeTypes;
        QByteArray mime = mimeTypes.mimeTypeForFile(pagePath, QMimeDatabase::MatchExtension).name().toLatin1();
        if (mime == QByteArrayLiteral("application/octet-stream") && pagePath.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive))
            mime = QByteArrayLiteral("text/html");
        auto* body = new QBuffer(job);
        body->setData(*bytes);
        body->open(QIODevice::ReadOnly);
        job->reply(mime, body);
    }
};

CResSchemeHandler* Handler()
{
    static CResSchemeHandler* handler = [] {
        auto* made = new CResSchemeHandler(QCoreApplication::instance());
        return made;
    }();
    return handler;
}

}  // namespace

CDirResourceSource::CDirResourceSource(QString rootFolder)
    : m_root(std::move(rootFolder))
{
}

std::optional<QByteArray> CDirResourceSource::ReadPage(const QString& pagePath) const
{
    if (!IsSafePagePath(pagePath))
        return std::nullopt;
    QString path = m_root + QLatin1Char('/') + pagePath;
    if (!QFileInfo(path).isFile()) {
        // Walk the segments without regard to case.
        QString folder = m_root;
        const QStringList segments = pagePath.split(QLatin1Char('/'));
        for (qsizetype i = 0; i < segments.size(); ++i) {
            const bool last = i + 1 == segments.size();
            const QStringList entries =
                QDir(folder).entryList(last ? QDir::Files : (QDir::Dirs | QDir::NoDotAndDotDot));
            const auto match = std::find_if(entries.begin(), entries.end(), [&](const QString& entry) {
                return entry.compare(segments[i], Qt::CaseInsensitive) == 0;
            });
            if (match == entries.end())
                return std::nullopt;
            folder += QLatin1Char('/') + *match;
        }
        path = folder;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void RegisterResScheme()
{
    static std::atomic<bool> registered{false};
    if (registered.exchange(true))
        return;
    QWebEngineUrlScheme scheme(kScheme);
    // Path syntax: the module's full path is the URL's path, and relative
    // links inside a page resolve against it.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::SecureScheme |
                    QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

void RegisterResourceModule(const QString& modulePath, std::shared_ptr<const IResourceSource> source)
{
    const QString key = NormalizeModulePath(modulePath);
    if (source)
        Modules().insert(key, std::move(source));
    else
        Modules().remove(key);
}

QUrl MakeResUrl(const QString& modulePath, const QString& page)
{
    // The module path is a file path: characters such as "#" or "?" in it
    // are part of the path. PAGE is URL text and may carry a query.
    const QString path = NormalizeModulePath(modulePath);
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(path, QByteArrayLiteral("/")));
    return QUrl(QStringLiteral("res://") + encoded + QLatin1Char('/') + page);
}

QUrl MakePageUrl(const QString& prefix, const QString& modulePath, const QString& page)
{
    if (!prefix.isEmpty())
        return QUrl(prefix + page);
    return MakeResUrl(modulePath, page);
}

void InstallResScheme(QWebEngineProfile* profile)
{
    if (profile == nullptr || profile->urlSchemeHandler(kScheme) != nullptr)
        return;
    profile->installUrlSchemeHandler(kScheme, Handler());
}

QWebEngineProfile* HostedPagesProfile()
{
    static QWebEngineProfile* profile = [] {
        // Off the record: hosted pages keep nothing on disk.
        auto* made = new QWebEngineProfile(QCoreApplication::instance());
        InstallResScheme(made);
        return made;
    }();
    return profile;
}
