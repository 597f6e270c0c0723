#include "downloads.h"

#include "browser/cabinet.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

namespace kb::engine {
namespace {

bool IsCabinet(const QString& fileName, const QString& mimeType)
{
    return fileName.endsWith(QLatin1String(".cab"), Qt::CaseInsensitive) ||
           mimeType == QLatin1String("application/vnd.ms-cab-compressed");
}

}  // namespace

CDownloads::CDownloads(QWebEngineProfile* profile, const QString& folder, QObject* parent)
    : QObject(parent), m_folder(folder)
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (m_folder.isEmpty())
        m_folder = QDir::homePath();
    connect(profile, &QWebEngineProfile::downloadRequested, this, &CDownloads::OnDownloadRequested);
}

void CDownloads::OnDownloadRequested(QWebEngineDownloadRequest* download)
{
    QDir().mkpath(m_folder);
    download->setDownloadDirectory(m_folder);
    // The engine picks a file name that is new in the folder and free of
    // path separators, whatever the server suggested.
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download] {
        if (download->isFinished())
            OnFinished(download);
    });
    download->accept();
}

void CDownloads::OnFinished(QWebEngineDownloadRequest* download)
{
    if (download->state() != QWebEngineDownloadRequest::DownloadCompleted)
        return;
    if (!IsCabinet(download->downloadFileName(), download->mimeType()))
        return;
    QString path = QDir(download->downloadDirectory()).filePath(download->downloadFileName());
    QFileInfo info(path);
    QString destination = info.dir().filePath(info.completeBaseName());
    bool ok = ExtractCabinet(path, destination);
    emit cabinetExtracted(path, destination, ok);
}

bool CDownloads::ExtractCabinet(const QString& cabinetPath, const QString& destination)
{
    QFileInfo info(cabinetPath);
    QByteArray name = info.fileName().toUtf8();
    QByteArray folder = (info.absolutePath() + QLatin1Char('/')).toUtf8();
    HFDI context = FDICreate(destination.toStdString());
    BOOL ok = FDICopy(context, name.constData(), folder.constData(), 0, nullptr, nullptr, nullptr);
    FDIDestroy(context);
    return ok != win::FALSE;
}

}  // namespace kb::engine
