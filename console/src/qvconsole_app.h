// The control panel's application object: start-up, the second-instance
// hand-off, the connection to the service and the orderly exit.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "servicelink/korva_config.h"
#include "servicelink/string_factory.h"
#include "servicelink/value_accessor.h"
#include "win/types.h"

class CQVConsoleDlg;

class CQVConsoleApp {
public:
    // Registered during static initialisation, so every instance and window
    // agrees on the numbers.
    static const win::UINT s_nLaunchExtraction;      // "QV_LAUNCH_EXTRACTION"
    static const win::UINT s_nLaunchScan;            // "QV_LAUNCH_SCAN"
    static const win::UINT s_nLaunchToResults;       // "QV_LAUNCH_TO_RESULTS"
    static const win::UINT s_nLaunchToSG;            // "QV_LAUNCH_TO_SG"
    static const win::UINT s_nNotifyCurrentPage;     // "QV_NOTIFY_CURRENT_PAGE"
    static const win::UINT s_nPackageProcessingComplete;  // "QV_PACKAGE_PROCESSING_COMPLETE"
    static const win::UINT s_nMessageExtraction;     // "CItemActionDialog::g_dwMessageExtraction"
    static const win::UINT s_nMessageConfigChange;
    static const win::UINT s_nMessageScannerProgressUpdate;
    static const win::UINT s_nMessageScannerItemUpdate;
    static const win::UINT s_nMessageScannerStateUpdate;
    static const win::UINT s_nMessageQuarantineItemNotifyUpdate;
    static const win::UINT s_nMessageQuarantinePackageNotifyUpdate;

    // The main window's caption: the product name and one blank.
    static constexpr const char* kMainWindowCaption = "Tavrel ";

    static CQVConsoleApp& Instance();

    // Runs start-up, the window and the exit; returns the process status.
    int Run(int argc, char** argv);

    // Operations for the other parts of the program.
    CQVConsoleDlg* GetMainWindow() const { return m_pMainWnd; }
    std::string GetPageUrl(const std::string& page) const;
    std::string GetDialogPageUrl(const std::string& page) const;
    const CDictionary& GetSwitches() const { return m_switches; }
    const CStringFactory& GetStringFactory() const { return m_strings; }
    // Tests and the start-up code fill these.
    CStringFactory& StringFactory() { return m_strings; }
    void SetSwitches(CDictionary switches) { m_switches = std::move(switches); }
    std::string m_strCurrentScanType;
    int m_bExitProcessed = 0;
    int m_bScanStartedHere = 0;

    // How long start-up waits for the service; KELM_SERVICE_WAIT_MS moves
    // it (tests), default 10000.
    static unsigned ServiceWaitMs();

    // The help file: the installed help component's path when it is
    // installed locally, else the default beside the UI resources.
    const std::string& GetHelpFilePath() const { return m_strHelpPath; }
    static std::string FindHelpFilePath();

private:
    CQVConsoleApp() = default;
    bool HandOff(bool windowFound);
    bool ConnectAndSubscribe();
    void Exit();

    CQVConsoleDlg* m_pMainWnd = nullptr;
    std::string m_strHtml;
    std::string m_strHtmlDialogs;
    int m_bInfectionSkin = 0;
    CDictionary m_switches;
    std::string m_strRegistryKey;
    std::unique_ptr<CKorvaConfig> m_pOptions;
    CStringFactory m_strings;
    win::HANDLE m_hInstanceEvent = nullptr;
    std::string m_strHelpPath;
};
