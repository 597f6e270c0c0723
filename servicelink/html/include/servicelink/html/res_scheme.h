// The res:// scheme: pages, scripts, styles and images of a resource module,
// addressed as "res://" + the module's full path + "/" + the page path, for
// example res:///opt/kelm/share/kelm/kelmui.rcc/home.html.
//
// A program calls RegisterResScheme() first thing in main, before the
// QApplication exists (the web engine fixes its schemes when it starts), and
// registers each module it serves with RegisterResourceModule. Browser
// controls use HostedPagesProfile(), which answers res:// already; another
// profile gets the scheme with InstallResScheme.
//
// A request whose path is not below a registered module, or whose page the
// module lacks, fails as "not found"; only GET is answered. The scheme is
// local: web pages cannot load or link res:// content. Documents of the
// scheme have an opaque origin, so pages cannot use web storage.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QWebEngineProfile;

// Where the pages of one module come from.
class IResourceSource {
public:
    virtual ~IResourceSource() = default;
    // The bytes of PAGEPATH (relative, "/"-separated, no "." or ".."
    // segments), or nothing when it does not exist.
    virtual std::optional<QByteArray> ReadPage(const QString& pagePath) const = 0;
};

// Pages below a folder: a file system folder, or a Qt resource folder such as
// ":/kelmui-1/pages". Names are found exactly, and failing that without regard
// to case, as the platform's resource names are.
class CDirResourceSource : public IResourceSource {
public:
    explicit CDirResourceSource(QString rootFolder);
    std::optional<QByteArray> ReadPage(const QString& pagePath) const override;

private:
    QString m_root;
};

// Call before the QApplication is constructed; later calls do nothing.
void RegisterResScheme();

// Serves res:// requests under MODULEPATH (a full path; a trailing "/" is
// ignored) from SOURCE, replacing an earlier source of the same path. A null
// SOURCE removes the module. Call on the main thread.
void RegisterResourceModule(const QString& modulePath, std::shared_ptr<const IResourceSource> source);

// "res://" + MODULEPATH + "/" + PAGE.
QUrl MakeResUrl(const QString& modulePath, const QString& page);

// A page's URL as the programs form it: PREFIX immediately followed by PAGE
// when PREFIX is not empty, else MakeResUrl(MODULEPATH, PAGE).
QUrl MakePageUrl(const QString& prefix, const QString& modulePath, const QString& page);

// The off-the-record profile browser controls use; it answers res://.
// Made on first use (after the QApplication exists) and lives as long as it.
QWebEngineProfile* HostedPagesProfile();

// Makes PROFILE answer res:// from the registered modules.
void InstallResScheme(QWebEngineProfile* profile);
