// CQVConsoleDlg: the control panel's only top-level window. A skinned dialog
// (template "QV_OPTIONS_DIALOG", layout "QVCONSOLE_DIALOG_LAYOUT" or its
// infection variant) with a column of navigation buttons, a row of tab
// buttons, the page area and the fixed buttons. It owns the page tree and
// the configuration proxy, switches pages when a page has loaded, runs
// apply, OK and close, and busy mode while a scan or an item action runs.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config_accessor.h"
#include "configuration_proxy.h"
#include "console_services.h"
#include "page_tree.h"
#include "pages/results/results_page_host.h"
// browser_control.h first: the controller header uses the complete type.
#include "servicelink/html/browser_control.h"
#include "servicelink/html/browser_host_controller.h"
#include "skin/skin_dialog.h"

class CMsgRequest;

// The page area. The window asks it to show a URL; it reports back through
// CQVConsoleDlg::OnBeforeNavigate and OnDocumentComplete (a browser control
// through the window's host controller part, see browser_page_view.h).
class CQVConsoleDlg;
class IPageView {
public:
    virtual ~IPageView() = default;
    void Attach(CQVConsoleDlg* window) { m_pWindow = window; }
    virtual QWidget* CreateWidget(QWidget* parent) = 0;
    virtual void Navigate(const std::string& url) = 0;
    virtual void Stop() = 0;

protected:
    CQVConsoleDlg* m_pWindow = nullptr;
};

// Control ids of the window.
enum : int {
    IDC_QVO_WEBBROWSER = 1001,
    IDAPPLY = 1003,
    IDC_QVO_HOME_BTN = 1002,
    IDC_QVO_POPUP_BTN = 1006,
    IDC_QVO_REALTIME_BTN = 1007,
    IDC_QVO_SCHEDULER_BTN = 1008,
    IDC_QVO_SCAN_BTN = 1009,
    IDC_QVO_TOOLS_BTN = 1011,
    IDC_QVO_CLOSE_BTN = 1012,
    IDC_QVO_MINIMIZE_BTN = 1013,
    IDC_QVO_ABOUT_BTN = 1014,
    IDC_QVO_HELP_BTN = 1015,
    IDC_QVO_HELPCONTEXT_BTN = 1016,
    IDC_STATIC_QVLOGO = 1030,
    IDC_SCAN_NOW_BUTTON = 1041,
    IDC_NEED_HELP = 1075,
};

class CQVConsoleDlg : public skin::CSkinDialog,
                      public IPageTreeHost,
                      public CBrowserHostController,
                      public IResultsPageHost {
public:
    // The browser's host flags: a dialog without 3-D border or scroll bars,
    // form controls in the desktop theme.
    static constexpr unsigned kBrowserHostFlags = 0x4000D;

    // Asks a skinned question with layout LAYOUT; returns the answer id.
    using AskFunction = std::function<int(CQVConsoleDlg& window, const QString& layout)>;
    // Shows TEXT in a skinned message box with layout LAYOUT.
    using MessageFunction = std::function<void(CQVConsoleDlg& window, const QString& layout, const QString& text)>;

    struct Options {
        QString resourcePath;        // the UI resource module (or folder)
        bool infectionSkin = false;  // "homeinf.html" and the _INF layout
        std::string pagePrefix;      // the `html` switch; empty: res:// URLs
    };

    CQVConsoleDlg(Options options, IConsoleServices& services, IConfigAccessor& accessor,
                  std::unique_ptr<IPageView> view);
    ~CQVConsoleDlg() override;

    // Replaces the skinned message box (tests record the questions here).
    void SetAskFunction(AskFunction ask) { m_ask = std::move(ask); }
    void SetMessageFunction(MessageFunction message) { m_message = std::move(message); }
    // An information box ("MESSAGEBOX_INFORMATION_LAYOUT") with TEXT.
    void ShowMessage(const QString& text);

    // Operations for the pages.
    void NavigatePage(const std::string& pageFile) override;
    void ReloadPage(const std::string& pageFile) override;
    CCfgPage* GetCurrentPage() const { return m_pCurrentPage; }
    CHTMLConfigDocBase* GetCurrentDocument() const;
    CConfigurationProxy& GetProxy() { return m_proxy; }
    IConsoleServices& GetServices() { return m_services; }
    IConfigAccessor& GetAccessor() { return m_accessor; }
    void EnterBusyMode();
    void LeaveBusyMode();
    bool IsBusy() const { return m_bBusy; }
    // Attaches to a running scan: busy, the scanning page, UI priority.
    void AttachToScan();
    // The one operation that starts a scan: remembers the type as the
    // current scan type, sends "korva.scanner.start" without waiting and
    // enters busy mode. INPUT holds `scan_type` and, for a custom scan,
    // `directories`, `partial_directories`, `scanners`, `enable_virus_scan`.
    void StartScan(const CDictionary& input);
    // What every caller does: refuses while the updater runs (a message and
    // a beep; false), else starts the scan, shows the scanning page and
    // marks the scan as started here.
    bool LaunchScan(const CDictionary& input);
    // Carries out ACTION ("remove", "allow", "restore", "move_to_detected",
    // "restore_items") on ITEMS (package codes, or item codes for
    // "restore_items"), one request per entry, in busy mode, then asks the
    // service to extract containers and check its integrity. True when every
    // entry succeeded.
    bool RunItemAction(const std::vector<std::string>& items, const std::string& action) override;
    bool RunItemAction(const QStringList& items, const QString& action);
    // True once when the end of a scan (scanner state 4 or 5) arrived while
    // the scanning page was not the shown page (it was still loading).
    bool TakeMissedScanEnd();
    // The script call "global_settings_changed".
    void global_settings_changed();
    // The script calls that ask the service for an update check or update.
    void global_check_for_updates();
    void global_update_product();
    void global_update_definitions();

    // The page view's reports.
    void OnBeforeNavigate(const std::string& url);
    void OnDocumentComplete(const std::string& url);

    // The browser's reports, as its host controller: they run the window's
    // reports above and the controller's own handling (page models); a
    // navigation that fails is cancelled, so the shown page stays.
    void OnBeforeNavigate(CBrowserControl* pBrowser, const QUrl& url, bool& bCancel) override;
    // F1 in the page: help on the shown page.
    bool OnShowHelp(CBrowserControl* pBrowser) override;
    void OnDocumentComplete(CBrowserControl* pBrowser, const QUrl& url) override;
    void OnNavigateError(CBrowserControl* pBrowser, const QUrl& url, int errorCode, const QString& errorText,
                         bool& bCancel) override;

    // Lookups.
    CCfgPage* FindPage(const std::string& pageFile) const;
    const std::vector<std::unique_ptr<CCfgPageGroup>>& Groups() const { return m_groups; }
    COptionsNavButton* FindNavButton(const QString& name) const;
    const std::string& ShownUrl() const { return m_strShownUrl; }
    std::string PageUrl(const std::string& pageFile) const;

    // Brings the window to 755 x 565 centred on the primary screen unless it
    // already has that size.
    void PlaceWindow();
    // Runs the window's first page choice and shows it (start-up).
    void Start();

    // The command handlers (public for the tests, as a click sends them).
    void OnApply();
    void OnOKButton();
    void OnClose();
    // Help with CONTEXTID (the help button's 24, a page's own number, -1
    // when no page is shown), in the maximized help window.
    void ShowHelpContext(int contextId);
    // The shown page's help context number; -1 when no page is shown.
    int CurrentHelpContext() const;

protected:
    void InitSkinControlIDs() override;
    bool ProcessElement(const skin::CLayoutElement& element) override;
    QWidget* CreateTemplateControl(const skin::CTemplateControl& control) override;
    bool OnInitDialog() override;
    bool OnCommand(int id) override;
    void changeEvent(QEvent* event) override;

private:
    int QueryDetectedCount() override;
    void CreateNavButton(const skin::CLayoutElement& element);
    void BuildPageTree();
    void MapLaunchMessages();
    void MapApplicationMessages();
    void OnScannerNotify(CMsgRequest& request);
    void ExitProcessing(bool stopScan);
    void SetApplyEnabled(bool enable);
    bool IsApplyEnabled() const;
    int Ask(const QString& layout);
    void BringToFront();
    static void Report(const std::string& line);

    Options m_options;
    IConsoleServices& m_services;
    CConfigurationProxy m_proxy;
    std::unique_ptr<IPageView> m_pView;
    IConfigAccessor& m_accessor;
    AskFunction m_ask;
    MessageFunction m_message;

    std::map<QString, std::unique_ptr<COptionsNavButton>> m_navButtons;
    std::map<int, COptionsNavButton*> m_navButtonIds;
    std::vector<std::unique_ptr<CCfgPageGroup>> m_groups;
    std::map<std::string, CCfgPage*> m_pages;
    CCfgPage* m_pCurrentPage = nullptr;
    CCfgPage* m_pPreviousPage = nullptr;
    std::string m_strShownUrl;
    bool m_bInitialPageShown = false;
    bool m_bBusy = false;
    win::HANDLE m_hQuarantineRunning = nullptr;
    bool m_bExitProcessed = false;
    bool m_bMissedScanEnd = false;
};
