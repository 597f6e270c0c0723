#include "pages/scan/scan_end_actions.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThreadPool>

#include "win/components.h"
#include "win/ui/shell.h"

std::atomic<bool> g_bLastScanStopped{false};

namespace {

constexpr const char* kSoundComponent = "{91F3D6A8-2B45-4E7C-B8D1-6A0C3E9F5721}";

CScanEndActions DefaultActions()
{
    CScanEndActions actions;
    actions.playSound = [](const std::string& path) { return win::PlaySoundFile(path); };
    actions.beep = [](unsigned type) { win::MessageBeep(type); };
    // The platform's one shut-down action (KELM_SHUTDOWN_RECORD makes it
    // record instead of restarting).
    actions.restart = [](unsigned flags) { return win::ExitWindowsEx(flags, 0) != win::FALSE; };
    return actions;
}

}  // namespace

CScanEndActions& ScanEndActions()
{
    static CScanEndActions actions = DefaultActions();
    return actions;
}

void ResetScanEndActions() { ScanEndActions() = DefaultActions(); }

std::string ScanSoundPath()
{
    std::string path;
    if (win::GetComponentPath(kSoundComponent, path) == win::INSTALLSTATE_LOCAL)
        return path;
    return (QCoreApplication::applicationDirPath() + QStringLiteral("/roar.wav")).toStdString();
}

void PlayScanEndSound()
{
    const std::string path = ScanSoundPath();
    CScanEndActions& actions = ScanEndActions();
    const bool played = QFileInfo::exists(QString::fromStdString(path)) && actions.playSound && actions.playSound(path);
    if (!played && actions.beep)
        actions.beep(kBeepSimple);
}

void StartPrevalenceReport(unsigned threats)
{
    std::function<void(unsigned)> report = ScanEndActions().prevalenceReport;
    if (!report)
        return;
    QThreadPool::globalInstance()->start([report = std::move(report), threats] { report(threats); });
}
