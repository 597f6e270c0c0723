// korvad: the suite's background service on the session bus.
//
//   korvad [--companion-dir DIR] [--definitions FILE] [--config FILE]
//
// Runs in the foreground (also under systemd, see korvad.service) and logs
// to standard error. Its state lives under the state root (KELM_STATE_ROOT).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QSocketNotifier>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "bus/bus_server.h"
#include "companion_launcher.h"
#include "config_store.h"
#include "definitions.h"
#include "quarantine.h"
#include "quarantine_store.h"
#include "request_handlers.h"
#include "scan_settings.h"
#include "scanner_service.h"
#include "service_database.h"
#include "vault.h"
#include "servicelink/korva_constants.h"
#include "win/event.h"
#include "win/state_root.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void LogToStderr(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    const char* level = type == QtDebugMsg     ? "debug"
                        : type == QtInfoMsg    ? "info"
                        : type == QtWarningMsg ? "warning"
                                               : "error";
    std::fprintf(stderr, "korvad: %s: %s\n", level, message.toLocal8Bit().constData());
}

void Usage()
{
    std::fprintf(stderr, "usage: korvad [--companion-dir DIR] [--definitions FILE] [--config FILE]\n");
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(LogToStderr);
    QCoreApplication app(argc, argv);
    QString companionDir = qEnvironmentVariable("KORVAD_COMPANION_DIR");
    std::string definitionsPath;
    std::string configPath;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--companion-dir") == 0 && i + 1 < argc) {
            companionDir = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--definitions") == 0 && i + 1 < argc) {
            definitionsPath = argv[++i];
        } else if (std::strcmp(argv[i], "--config") == 0 && i + 1 < argc) {
            configPath = argv[++i];
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("korvad %s\n", KORVAD_VERSION);
            return 0;
        } else {
            Usage();
            return 2;
        }
    }
    if (companionDir.isEmpty())
        companionDir = QCoreApplication::applicationDirPath();

    // Signals end the event loop, so the database is closed cleanly.
    if (::pipe(g_signalPipe) != 0)
        return 1;
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        qInfo("stopping");
        QCoreApplication::quit();
    });

    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    QDBusConnection connection = (address != nullptr && *address != '\0')
                                     ? QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("korvad"))
                                     : QDBusConnection::sessionBus();
    // Settings and definitions come first: a bad definitions file stops
    // korvad before it takes the bus name, with the line that is wrong.
    std::string settingsError;
    korvad::ScanSettings settings = korvad::LoadScanSettings(
        configPath, QCoreApplication::applicationDirPath().toStdString(), &settingsError);
    if (!settingsError.empty())
        qWarning("%s", settingsError.c_str());
    if (!definitionsPath.empty()) {
        settings.definitionsPath = definitionsPath;
        settings.definitionsChosen = true;
    }
    auto definitions = std::make_shared<korvad::Definitions>();
    std::string definitionsError;
    if (!korvad::LoadDefinitions(settings.definitionsPath, *definitions, &definitionsError)) {
        // A file someone chose must be right. Without the sample file next
        // to the program korvad still serves, with no definitions.
        if (settings.definitionsChosen || std::filesystem::exists(settings.definitionsPath)) {
            qCritical("definitions: %s", definitionsError.c_str());
            return 1;
        }
        qWarning("definitions: %s; scanning finds nothing", definitionsError.c_str());
        definitions->version = "0.0.0.0";
    }

    korvad::ServiceDatabase database;
    bus::BusServer server(connection);
    korvad::ConfigStore config(database);
    korvad::CompanionLauncher launcher(QDir(companionDir).absolutePath().toStdString());
    korvad::ServiceContext context{server, config, launcher, KORVAD_VERSION};
    korvad::QuarantineStore quarantineStore(database, definitions);
    korvad::Vault vault((win::StateFolderPath(win::StateFolder::Service) / "vault").string());
    korvad::Quarantine quarantine(quarantineStore, vault, settings);
    korvad::ScannerService scanner(context, quarantineStore, definitions, settings);
    korvad::RegisterConfigHandlers(context);
    korvad::RegisterScannerHandlers(context, scanner, *definitions);
    korvad::RegisterQuarantineHandlers(context, quarantineStore, quarantine);
    korvad::RegisterServiceHandlers(context);
    korvad::RegisterBrowserHandlers(context);
    korvad::RegisterPopupHandlers(context, database);

    // The name is taken before the database is opened, so a second korvad
    // leaves the first one's file alone. Requests are answered only once the
    // event loop runs, by which time the database is open.
    std::string error;
    if (!server.Start(QString::fromLatin1(NKorvaConstants::SERVICE_BUS_NAME), &error)) {
        qCritical("%s", error.c_str());
        return 1;
    }
    const std::string dbPath = (win::StateFolderPath(win::StateFolder::Service) / "korvad.db").string();
    if (!database.Open(dbPath, &error)) {
        qCritical("%s", error.c_str());
        return 1;
    }
    quarantine.Reconcile();

    // Clients in other processes (the browser add-on) tell a running service
    // by this machine-wide event: it exists exactly while korvad holds it, and
    // a crashed korvad frees it.
    win::Event runningEvent;
    const win::DWORD created = win::Event::Create("Global\\activated_qvserver", /*manualReset=*/true,
                                                  /*initialState=*/true, runningEvent);
    if (created != win::ERROR_SUCCESS && created != static_cast<win::DWORD>(win::ERROR_ALREADY_EXISTS))
        qWarning("cannot create the running event (error %u)", created);

    qInfo("serving %s (database %s, companions in %s, definitions %s version %s)", NKorvaConstants::SERVICE_BUS_NAME,
          dbPath.c_str(), launcher.Folder().c_str(), settings.definitionsPath.c_str(), definitions->version.c_str());
    return app.exec();
}
