// The control panel against korvad on a private bus: a quick scan of the
// demo area started from the command line and followed headless by the
// screenshot tour, through the scanning page to the detected results.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <sys/wait.h>

#include "bus_testing.h"

namespace {

QString ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(ScanEndToEnd, AQuickScanFromTheCommandLineReachesTheDetectedResults)
{
    bus_testing::EnsureApplication();
    bus_testing::TempDir state;
    const QString root = QString::fromStdString(state.Path());
    ::setenv("KELM_STATE_ROOT", state.Path().c_str(), 1);
    ::setenv("KORVAD_HOSTS_FILE", (state.Path() + "/hosts").c_str(), 1);
    // Slow enough that the scanning page shows progress.
    ::setenv("KORVAD_SCAN_THROTTLE_US", "20000", 1);
    ::setenv("KELM_SOUND_RECORD", (state.Path() + "/sound.txt").c_str(), 1);
    ::setenv("KELM_SHUTDOWN_RECORD", (state.Path() + "/shutdown.txt").c_str(), 1);
    ::setenv("KELM_SERVICE_WAIT_MS", "10000", 1);

    bus_testing::ChildProcess demo;
    ASSERT_TRUE(demo.Start(KORVAD_DEMO_PATH, {"--hosts", state.Path() + "/hosts"}));
    int status = 0;
    ASSERT_TRUE(demo.WaitExit(20000, &status));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    bus_testing::PrivateBus bus;
    std::string error;
    ASSERT_TRUE(bus.Start(&error)) << error;
    bus_testing::ChildProcess korvad;
    ASSERT_TRUE(bus_testing::StartKorvad(korvad, KORVAD_PATH, state.Path()));

    const QString shots = root + QStringLiteral("/shots");
    const std::string log = state.Path() + "/qvconsole.log";
    bus_testing::ChildProcess console;
    ASSERT_TRUE(console.Start(QVCONSOLE_PATH, {"/scan:quick", "screenshots=" + shots.toStdString()}, log));
    const bool ended = console.WaitExit(240000, &status);
    const QString output = ReadAll(QString::fromStdString(log));
    ASSERT_TRUE(ended) << output.toStdString();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output.toStdString();

    EXPECT_TRUE(output.contains(QStringLiteral("qvconsole: start_scan quick"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("scanner_notify threat_element_found"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("/scan_results_detected.html"))) << output.toStdString();
    for (const char* name : {"scan_scanning.png", "scan_results_detected.png"}) {
        const QImage image(shots + QLatin1Char('/') + QLatin1String(name));
        EXPECT_EQ(image.size(), QSize(755, 565)) << name;
    }
    // The end of the scan sounded once (a beep: no sound file is installed).
    EXPECT_EQ(ReadAll(root + QStringLiteral("/sound.txt")).count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(ReadAll(root + QStringLiteral("/shutdown.txt")).isEmpty());
    korvad.Stop();
}

}  // namespace
