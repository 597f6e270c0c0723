#include "servicelink/html/page_key.h"

#include <QRegularExpression>

namespace {

QString KeyFromPath(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    // A drive letter ("c:") names no part of the page on this platform.
    if (path.size() >= 2 && path.at(0).isLetter() && path.at(1) == QLatin1Char(':'))
        path.remove(0, 2);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return path.toLower();
}

}  // namespace

QString PageKeyFromUrl(const QUrl& url)
{
    return KeyFromPath(url.path(QUrl::FullyDecoded));
}

QString PageKeyFromText(const QString& text)
{
    const QUrl url(text);
    // One-letter "schemes" are drive letters of a key, not URLs.
    if (url.isValid() && url.scheme().size() > 1)
        return PageKeyFromUrl(url);
    QString path = text;
    const int end = path.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (end >= 0)
        path.truncate(end);
    return KeyFromPath(path);
}
