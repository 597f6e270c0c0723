// kelmbrowse: a small tabbed browser that loads the registered add-ons.
//
//   kelmbrowse [options] [address...]
//     --no-add-ons          load no add-on
//     --download-dir DIR    where downloads (and extracted cabinets) go
//     --screenshot FILE     save a picture of the first window once its
//                           page has loaded (or after --timeout), then quit
//     --timeout MS          how long --screenshot waits at most (15000)
//     --delay MS            how long --screenshot waits after the load,
//                           for the page's own timers (800)
//     --size WxH            size of the first window (1024x720)
//
// Without an address the first window opens the start page from the
// registry ("Start Page" under HKCU\Software\Microsoft\Internet
// Explorer\Main), or stays empty.

#include "browser_host.h"
#include "browser_page.h"
#include "browser_windows.h"
#include "web_browser_object.h"

#include "servicelink/html/web_engine_environment.h"
#include "win/registry.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <QWebEngineLoadingInfo>

#include <algorithm>
#include <cstdio>

namespace {

QUrl StartPage()
{
    win::RegKey key;
    std::string page;
    if (win::RegKey::Open(win::Hive::CurrentUser, "Software\\Microsoft\\Internet Explorer\\Main", key) ==
            win::ERROR_SUCCESS &&
        key.QueryString("Start Page", page) == win::ERROR_SUCCESS && !page.empty())
        return QUrl::fromUserInput(QString::fromStdString(page));
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    // Chromium refuses to run as root with its sandbox on, and the engine
    // needs shared OpenGL contexts before the application exists.
    PrepareWebEngineEnvironment();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelmbrowse"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A small tabbed browser that hosts the browser add-ons."));
    parser.addHelpOption();
    QCommandLineOption noAddOns(QStringLiteral("no-add-ons"), QStringLiteral("Load no add-on."));
    QCommandLineOption downloadDir(QStringLiteral("download-dir"), QStringLiteral("Folder for downloads."),
                                   QStringLiteral("dir"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Save a picture of the first window after its page loaded, then quit."),
                                  QStringLiteral("file"));
    QCommandLineOption timeout(QStringLiteral("timeout"), QStringLiteral("Most milliseconds --screenshot waits."),
                               QStringLiteral("ms"), QStringLiteral("15000"));
    QCommandLineOption delay(QStringLiteral("delay"),
                             QStringLiteral("Milliseconds --screenshot waits after the page loaded."),
                             QStringLiteral("ms"), QStringLiteral("800"));
    QCommandLineOption size(QStringLiteral("size"), QStringLiteral("First window size, WxH."), QStringLiteral("size"),
                            QStringLiteral("1024x720"));
    parser.addOptions({noAddOns, downloadDir, screenshot, timeout, delay, size});
    parser.addPositionalArgument(QStringLiteral("address"), QStringLiteral("Pages to open, one window each."));
    parser.process(app);

    kb::engine::BrowserHostOptions options;
    options.loadAddOns = !parser.isSet(noAddOns);
    options.downloadFolder = parser.value(downloadDir);
    kb::engine::CBrowserHost host(options);

    QStringList addresses = parser.positionalArguments();
    if (addresses.isEmpty())
        addresses << StartPage().toString();
    QList<QSize> sizes;
    QStringList dims = parser.value(size).split(QLatin1Char('x'));
    QSize first(dims.value(0).toInt(), dims.value(1).toInt());
    if (first.width() < 200 || first.height() < 150)
        first = QSize(1024, 720);

    kb::engine::CWebBrowser* firstBrowser = nullptr;
    for (const QString& address : addresses) {
        QUrl url = address.isEmpty() ? QUrl() : QUrl::fromUserInput(address);
        kb::engine::CWebBrowser* browser = host.OpenWindow(url, /*show=*/false);
        if (browser == nullptr)
            continue;
        if (firstBrowser == nullptr) {
            firstBrowser = browser;
            browser->frame()->resize(first);
        }
        browser->frame()->show();
    }
    if (firstBrowser == nullptr) {
        std::fprintf(stderr, "kelmbrowse: no window could be opened\n");
        return 1;
    }

    QApplication::setQuitOnLastWindowClosed(true);
    if (parser.isSet(screenshot)) {
        QString file = parser.value(screenshot);
        QPointer<kb::engine::CFrameWindow> frame(firstBrowser->frame());
        bool saved = false;
        const int settle = std::max(0, parser.value(delay).toInt());
        auto save = [&saved, frame, file, settle] {
            if (saved)
                return;
            saved = true;
            // Give the compositor (and the page's own timers) a moment.
            QTimer::singleShot(settle, [frame, file] {
                int code = 1;
                if (!frame.isNull() && frame->grab().save(file)) {
                    std::printf("kelmbrowse: saved %s\n", qPrintable(file));
                    code = 0;
                }
                QCoreApplication::exit(code);
            });
        };
        QObject::connect(firstBrowser->page(), &QWebEnginePage::loadFinished, &app, [save](bool) { save(); });
        QTimer::singleShot(parser.value(timeout).toInt(), &app, save);
    }
    return app.exec();
}
