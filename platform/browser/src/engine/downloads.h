// Downloads of a browser process: every download is saved into the
// download folder; a cabinet (".cab") is then extracted into a folder of
// its own name beside it through FDICopy (cabinet.h), the entry point an
// add-on may intercept to look at the cabinet first.
#pragma once

#include <QObject>
#include <QString>

class QWebEngineDownloadRequest;
class QWebEngineProfile;

namespace kb::engine {

class CDownloads : public QObject {
    Q_OBJECT
public:
    CDownloads(QWebEngineProfile* profile, const QString& folder, QObject* parent);

    QString folder() const { return m_folder; }

    // Extracts CABINET_PATH into DESTINATION through FDICopy; what the
    // browser does after a cabinet download.
    static bool ExtractCabinet(const QString& cabinetPath, const QString& destination);

signals:
    void cabinetExtracted(const QString& cabinetPath, const QString& folder, bool ok);

private:
    void OnDownloadRequested(QWebEngineDownloadRequest* download);
    void OnFinished(QWebEngineDownloadRequest* download);

    QString m_folder;
};

}  // namespace kb::engine
