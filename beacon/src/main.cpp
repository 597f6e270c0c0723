// qvbeacon: reports one milestone (installation, first run, a scan) to the
// tracking server by loading an address in a hidden browser, and records in
// the registry whether it arrived, so each milestone is reported once.
#include <QApplication>
#include <QUrl>

#include <cstdio>

#include "beacon_arguments.h"
#include "beacon_dialog.h"
#include "servicelink/html/web_engine_environment.h"
#include "tracking_address.h"
#include "tracking_record.h"
#include "win/command_line.h"

namespace {

const char* OutcomeText(beacon::CBeaconDlg::Outcome outcome)
{
    switch (outcome) {
    case beacon::CBeaconDlg::Outcome::DocumentComplete: return "document complete";
    case beacon::CBeaconDlg::Outcome::NavigateError: return "navigate error";
    case beacon::CBeaconDlg::Outcome::TimedOut: return "no answer";
    case beacon::CBeaconDlg::Outcome::None: break;
    }
    return "none";
}

}  // namespace

int main(int argc, char** argv)
{
    // The launchers pass one command line split at blanks, tabs and line
    // feeds, quotes having no meaning; splitting each argument the same way
    // gives the same tokens.
    std::vector<std::string> tokens;
    for (int i = 0; i < argc; ++i) {
        for (std::string& token : win::SplitAtAny(argv[i]))
            tokens.push_back(std::move(token));
    }
    const beacon::BeaconArguments args = beacon::ParseBeaconArguments(tokens);
    const beacon::TrackPoint& point = beacon::TrackPointFor(args.trackPoint);

    beacon::TrackingRecord record;
    const std::optional<std::string> address = beacon::BuildTrackingAddress(args, record.DefaultServer());
    if (!address) {
        std::fprintf(stderr, "qvbeacon: the tracking address would be longer than %zu characters; nothing loaded\n",
                     beacon::kMaxAddressLength);
        return 2;
    }
    if (record.IsReported(point)) {
        std::fprintf(stderr, "qvbeacon: %s already reported; nothing loaded\n", point.registryValue);
        return 0;
    }

    // The hidden browser must start without a display and as root too: the
    // shared start-up settings choose the offscreen platform and turn
    // Chromium's sandbox off in those cases.
    PrepareWebEngineEnvironment();
    QApplication app(argc, argv);

    beacon::CBeaconDlg dialog(QUrl(QString::fromStdString(*address)),
                              static_cast<int>(record.TimeoutSeconds() * 1000));
    QObject::connect(&dialog, &beacon::CBeaconDlg::finished, &app, [&](beacon::CBeaconDlg::Outcome outcome) {
        const bool reported = outcome == beacon::CBeaconDlg::Outcome::DocumentComplete;
        record.Record(point, reported);
        QString line = QStringLiteral("qvbeacon: %1: %2").arg(QString::fromStdString(*address), OutcomeText(outcome));
        if (!reported)
            line += QStringLiteral(" (%1)").arg(dialog.failureReason());
        if (record.isOpen())
            line += QStringLiteral("; recorded %1 = %2").arg(point.registryValue).arg(reported ? 1 : 0);
        else
            line += QStringLiteral("; not recorded: the registry key cannot be opened");
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        app.quit();
    });
    dialog.Start();
    app.exec();
    return 0;
}
