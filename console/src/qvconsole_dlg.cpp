#include "qvconsole_dlg.h"

#include <QEvent>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "notification_records.h"
#include "pages/scan/html_config_doc_scan.h"
#include "pages/scan/html_config_doc_scan_scanning.h"
#include "pages/scan/scan_end_actions.h"
#include "pages/scan/scan_start.h"
#include "qvconsole_app.h"
#include "servicelink/html/browser_control.h"
#include "servicelink/html/help_window.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_request.h"
#include "skin/skin_message_box.h"
#include "win/event.h"
#include "win/ui/messaging.h"
#include "win/ui/window_messages.h"
#include "win/ui/window_ops.h"

namespace {

constexpr int kWindowWidth = 755;
constexpr int kWindowHeight = 565;
// The help button's context number: the help contents of the control panel.
constexpr int kHelpButtonContext = 24;

// Tab buttons carry no fixed ids; these keep their commands apart.
const std::pair<const char*, int> kTabButtonIds[] = {
    {"IDC_QVO_TAB_SCANNER_BTN", 2001},           {"IDC_QVO_TAB_RESULTS_BTN", 2002},
    {"IDC_QVO_TAB_SUMMARY_BTN", 2003},           {"IDC_QVO_TAB_ACTIVEENFORCERS_BTN", 2004},
    {"IDC_QVO_TAB_SETTINGS_BTN", 2005},          {"IDC_QVO_TAB_QUARANTINE_BTN", 2006},
    {"IDC_QVO_TAB_POPUP_SUMMARY_BTN", 2007},     {"IDC_QVO_TAB_POPUP_ALLOWBLOCK_BTN", 2008},
    {"IDC_QVO_TAB_SCHEDULER_SUMMARY_BTN", 2009}, {"IDC_QVO_TAB_SCHEDULER_UPDATES_BTN", 2010},
    {"IDC_QVO_TAB_SCHEDULER_VERSION_BTN", 2011}, {"IDC_QVO_TAB_TOOLS_SUMMARY_BTN", 2012},
};

void SignalNamedEvent(const char* name, bool create)
{
    win::HANDLE event = create ? win::CreateEvent(nullptr, win::TRUE, win::FALSE, name)
                               : win::OpenEvent(win::EVENT_ALL_ACCESS, win::FALSE, name);
    if (event == nullptr)
        return;  // an absent splash event is ignored
    win::SetEvent(event);
    win::CloseHandle(event);
}

// The named values of a page URL's query: "&" and "?" separate
// name=value pairs.
CDictionary ParseQuery(const QString& query)
{
    CDictionary values;
    QString text = query;
    text.replace(QLatin1Char('&'), QLatin1Char(' ')).replace(QLatin1Char('?'), QLatin1Char(' '));
    for (const QString& pair : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        values[pair.left(eq).toStdString()] = pair.mid(eq + 1).toStdString();
    }
    return values;
}

// The program's icon in the skin's colours: a blue shield on a navy tile,
// drawn at the sizes the desktop asks for (the big and the 16 x 16 icon).
QIcon ProgramIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1B, 0x2A, 0x41));
        painter.drawRoundedRect(QRectF(0, 0, size, size), size / 5.0, size / 5.0);
        const double w = size;
        QPainterPath shield;
        shield.moveTo(w * 0.5, w * 0.14);
        shield.lineTo(w * 0.82, w * 0.26);
        shield.cubicTo(w * 0.82, w * 0.58, w * 0.68, w * 0.76, w * 0.5, w * 0.88);
        shield.cubicTo(w * 0.32, w * 0.76, w * 0.18, w * 0.58, w * 0.18, w * 0.26);
        shield.closeSubpath();
        painter.setBrush(QColor(0x1E, 0x88, 0xE5));
        painter.drawPath(shield);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

CQVConsoleDlg::CQVConsoleDlg(Options options, IConsoleServices& services, IConfigAccessor& accessor,
                             std::unique_ptr<IPageView> view)
    : CSkinDialog(nullptr, options.resourcePath, QStringLiteral("QV_OPTIONS_DIALOG"),
                  options.infectionSkin ? QStringLiteral("QVCONSOLE_DIALOG_LAYOUT_INF")
                                        : QStringLiteral("QVCONSOLE_DIALOG_LAYOUT"),
                  /*modal=*/false),
      CBrowserHostController(this), m_options(std::move(options)), m_services(services), m_proxy(accessor),
      m_pView(std::move(view)), m_accessor(accessor)
{
    setWindowTitle(QString::fromLatin1(CQVConsoleApp::kMainWindowCaption));
    setWindowIcon(ProgramIcon());
    if (m_pView)
        m_pView->Attach(this);
    // Page script reaches these as window.external; the shown page's
    // document adds its own.
    m_scriptMethods.Add(QStringLiteral("global_settings_changed"), this, &CQVConsoleDlg::global_settings_changed);
    m_scriptMethods.Add(QStringLiteral("global_check_for_updates"), this, &CQVConsoleDlg::global_check_for_updates);
    m_scriptMethods.Add(QStringLiteral("global_update_product"), this, &CQVConsoleDlg::global_update_product);
    m_scriptMethods.Add(QStringLiteral("global_update_definitions"), this,
                        &CQVConsoleDlg::global_update_definitions);
    AddHandler(this);
    // Pages loaded from the html switch's folder may call the window too.
    if (!m_options.pagePrefix.empty())
        GetDispatch().AddTrustedUrlPrefix(QString::fromStdString(m_options.pagePrefix));
    MapLaunchMessages();
    MapApplicationMessages();
}

CQVConsoleDlg::~CQVConsoleDlg()
{
    // No message may reach a page while the tree goes away.
    m_pCurrentPage = nullptr;
    m_pPreviousPage = nullptr;
    m_groups.clear();
    CMsgDispatcher::Instance().UnbindWindow(this);
    if (m_hQuarantineRunning != nullptr)
        win::CloseHandle(m_hQuarantineRunning);
}

void CQVConsoleDlg::Report(const std::string& line)
{
    std::fprintf(stderr, "qvconsole: %s\n", line.c_str());
    std::fflush(stderr);
}

void CQVConsoleDlg::InitSkinControlIDs()
{
    const std::pair<const char*, int> required[] = {
        {"IDOK", skin::IDOK},
        {"IDCANCEL", skin::IDCANCEL},
        {"IDAPPLY", IDAPPLY},
        {"IDC_QVO_HOME_BTN", IDC_QVO_HOME_BTN},
        {"IDC_QVO_POPUP_BTN", IDC_QVO_POPUP_BTN},
        {"IDC_QVO_REALTIME_BTN", IDC_QVO_REALTIME_BTN},
        {"IDC_QVO_SCHEDULER_BTN", IDC_QVO_SCHEDULER_BTN},
        {"IDC_QVO_SCAN_BTN", IDC_QVO_SCAN_BTN},
        {"IDC_QVO_TOOLS_BTN", IDC_QVO_TOOLS_BTN},
        {"IDC_QVO_CLOSE_BTN", IDC_QVO_CLOSE_BTN},
        {"IDC_QVO_MINIMIZE_BTN", IDC_QVO_MINIMIZE_BTN},
        {"IDC_QVO_ABOUT_BTN", IDC_QVO_ABOUT_BTN},
        {"IDC_QVO_HELP_BTN", IDC_QVO_HELP_BTN},
        {"IDC_QVO_HELPCONTEXT_BTN", IDC_QVO_HELPCONTEXT_BTN},
        {"IDC_STATIC_QVLOGO", IDC_STATIC_QVLOGO},
        {"IDC_NEED_HELP", IDC_NEED_HELP},
        {"IDC_SCAN_NOW_BUTTON", IDC_SCAN_NOW_BUTTON},
    };
    for (const auto& [name, id] : required)
        m_mapSkinControlIDs.Set(QString::fromLatin1(name), id);
    // The page area is the template's control 1001; the layout only places it.
    m_mapOptionalControlIDs.Set(QStringLiteral("IDC_QVO_WEBBROWSER"), IDC_QVO_WEBBROWSER);
    for (const auto& [name, id] : kTabButtonIds)
        m_mapOptionalControlIDs.Set(QString::fromLatin1(name), id);
}

bool CQVConsoleDlg::ProcessElement(const skin::CLayoutElement& element)
{
    if (element.tag.compare(QLatin1String("NAVBUTTON"), Qt::CaseInsensitive) != 0)
        return CSkinDialog::ProcessElement(element);
    CreateNavButton(element);
    return true;
}

void CQVConsoleDlg::CreateNavButton(const skin::CLayoutElement& element)
{
    // The skinned dialog builds the button from the ordinary attributes;
    // the three active bitmaps are kept here for the active state.
    skin::CLayoutElement button = element;
    button.tag = QStringLiteral("BUTTON");
    button.attributes.clear();
    QPixmap active, activeOver, activeDown;
    for (const auto& [name, value] : element.attributes) {
        QPixmap* target = name == QLatin1String("active_bitmap")        ? &active
                          : name == QLatin1String("active_over_bitmap") ? &activeOver
                          : name == QLatin1String("active_down_bitmap") ? &activeDown
                                                                        : nullptr;
        if (target != nullptr) {
            *target = LoadBitmapResource(value);
            if (target->isNull())
                ReportLayoutFault(element, QStringLiteral("%1 \"%2\" could not be loaded%3")
                                               .arg(name, value, lastResourceError()));
            continue;
        }
        if (name == QLatin1String("style") && value.compare(QLatin1String("CHECKBOX"), Qt::CaseInsensitive) == 0) {
            button.attributes.append({name, QStringLiteral("WS_CHILD|WS_VISIBLE|BS_AUTOCHECKBOX")});
            continue;
        }
        button.attributes.append({name, value});
    }
    CreateButton(button);

    int id = -1;
    QString name;
    GetControlIDAndName(element, id, name);
    auto* widget = qobject_cast<skin::CSkinButton*>(GetControl(name));
    if (widget == nullptr)
        return;
    COptionsNavButton::Faces faces;
    faces.normal = widget->Bitmap(skin::CSkinButton::Face::Normal);
    faces.down = widget->Bitmap(skin::CSkinButton::Face::Down);
    faces.over = widget->Bitmap(skin::CSkinButton::Face::Over);
    faces.disabled = widget->Bitmap(skin::CSkinButton::Face::Disabled);
    faces.downDisabled = widget->Bitmap(skin::CSkinButton::Face::DownDisabled);
    faces.focus = widget->Bitmap(skin::CSkinButton::Face::Focus);
    const QString mask = element.GetAttribute(QStringLiteral("mask_bitmap"));
    if (!mask.isEmpty())
        faces.mask = LoadBitmapResource(mask);
    faces.cursor = widget->Cursor();
    auto nav = std::make_unique<COptionsNavButton>(widget, std::move(faces), active, activeOver, activeDown);
    m_navButtonIds[id] = nav.get();
    m_navButtons[name] = std::move(nav);
}

QWidget* CQVConsoleDlg::CreateTemplateControl(const skin::CTemplateControl& control)
{
    if (control.id == IDC_QVO_WEBBROWSER && m_pView) {
        QWidget* area = m_pView->CreateWidget(this);
        // A browser control gets this window as its host: its events come
        // back through the controller part, and page errors stay quiet.
        if (auto* browser = qobject_cast<CBrowserControl*>(area)) {
            TieBrowser(browser, kBrowserHostFlags);
            browser->SetSilent(true);
        }
        return area;
    }
    return CSkinDialog::CreateTemplateControl(control);
}

COptionsNavButton* CQVConsoleDlg::FindNavButton(const QString& name) const
{
    const auto it = m_navButtons.find(name);
    return it == m_navButtons.end() ? nullptr : it->second.get();
}

bool CQVConsoleDlg::OnInitDialog()
{
    const bool result = CSkinDialog::OnInitDialog();
    setWindowTitle(QString::fromLatin1(CQVConsoleApp::kMainWindowCaption));
    m_bInitialPageShown = true;
    BuildPageTree();
    SetApplyEnabled(false);
    CMsgDispatcher::Instance().BindWindow("korva.scanner.client_notify", this,
                                          [this](CMsgRequest& request) { OnScannerNotify(request); });
    if (QWidget* needHelp = GetDlgItem(IDC_NEED_HELP);
        needHelp != nullptr && m_services.ExternalInteger("enable_help_number", 1) == 0)
        needHelp->hide();
    return result;
}

void CQVConsoleDlg::BuildPageTree()
{
    CCfgPageGroup* group = nullptr;
    int groupNumber = -1;
    for (const PageTableRow& row : kPageTable) {
        if (row.group != groupNumber) {
            groupNumber = row.group;
            COptionsNavButton* nav = FindNavButton(QString::fromLatin1(row.navButton));
            std::unique_ptr<CCfgPageGroup> created;
            if (std::string(row.groupName) == "scan")
                created = std::make_unique<CCfgPageGroupScan>(*this, row.groupName, row.startIndex, nav);
            else
                created = std::make_unique<CCfgPageGroup>(row.groupName, row.startIndex, nav);
            group = created.get();
            if (nav != nullptr)
                nav->SetOwner(group);
            if (m_groups.size() <= static_cast<std::size_t>(groupNumber))
                m_groups.resize(static_cast<std::size_t>(groupNumber) + 1);
            m_groups[static_cast<std::size_t>(groupNumber)] = std::move(created);
            continue;
        }
        std::string pageFile = row.pageFile;
        if (m_options.infectionSkin && pageFile == "home.html")
            pageFile = "homeinf.html";
        COptionsNavButton* tab = row.tabButton != nullptr ? FindNavButton(QString::fromLatin1(row.tabButton)) : nullptr;
        auto page = std::make_unique<CCfgPage>(*this, row.tabId, pageFile, tab, row.helpContext,
                                               CreateConfigDoc(row.tabId, this, this, &m_proxy));
        // Of several pages owning one button, the last built is the one it
        // activates.
        if (row.ownsButton && tab != nullptr)
            tab->SetOwner(page.get());
        page->ShowTab(false);
        // The browser binds the document to its page when the page loads.
        if (page->GetDocument() != nullptr)
            AddDocumentModel(QString::fromStdString(PageUrl(pageFile)), page->GetDocument());
        m_pages[pageFile] = page.get();
        group->AddPage(std::move(page));
    }
    m_pCurrentPage = nullptr;
}

CCfgPage* CQVConsoleDlg::FindPage(const std::string& pageFile) const
{
    const auto it = m_pages.find(pageFile);
    return it == m_pages.end() ? nullptr : it->second;
}

CHTMLConfigDocBase* CQVConsoleDlg::GetCurrentDocument() const
{
    return m_pCurrentPage != nullptr ? m_pCurrentPage->GetDocument() : nullptr;
}

std::string CQVConsoleDlg::PageUrl(const std::string& pageFile) const
{
    if (!m_options.pagePrefix.empty())
        return m_options.pagePrefix + pageFile;
    return CQVConsoleApp::Instance().GetPageUrl(pageFile);
}

void CQVConsoleDlg::NavigatePage(const std::string& pageFile)
{
    const std::string url = PageUrl(pageFile);
    if (url == m_strShownUrl)
        return;
    m_strShownUrl = url;
    if (m_pView) {
        m_pView->Stop();
        m_pView->Navigate(url);
    }
}

void CQVConsoleDlg::ReloadPage(const std::string& pageFile)
{
    m_strShownUrl = PageUrl(pageFile);
    if (m_pView) {
        m_pView->Stop();
        m_pView->Navigate(m_strShownUrl);
    }
}

void CQVConsoleDlg::OnBeforeNavigate(const std::string& /*url*/)
{
    if (m_pCurrentPage != nullptr)
        m_pPreviousPage = m_pCurrentPage;
    m_pCurrentPage = nullptr;
}

void CQVConsoleDlg::OnDocumentComplete(const std::string& url)
{
    if (url == "about:blank" || !m_bInitialPageShown)
        return;
    const QUrl parsed(QUrl::fromPercentEncoding(QByteArray::fromStdString(url)));
    // Page files are looked up by file name: res:// URLs carry the module's
    // folder in their path, and the html switch's prefix any folder.
    const std::string pageFile = parsed.fileName().toStdString();
    const CDictionary query = ParseQuery(parsed.query(QUrl::FullyDecoded));

    CCfgPage* old = m_pCurrentPage != nullptr ? m_pCurrentPage : m_pPreviousPage;
    CCfgPage* page = FindPage(pageFile);
    if (page != nullptr && (old == nullptr || old->GetPageFile() != pageFile)) {
        if (old != nullptr) {
            if (old->GetGroup() != page->GetGroup())
                old->GetGroup()->Select(/*show=*/false, old);
            // Only the shown page's document is "shown", whichever group the
            // new page is in, so no hidden page acts on notifications.
            if (old->GetDocument() != nullptr)
                old->GetDocument()->SetShown(false);
        }
        page->Select(/*show=*/true);
        m_pCurrentPage = page;
        if (page->GetDocument() != nullptr) {
            page->GetDocument()->SetShown(true);
            page->GetDocument()->SetQueryParameters(query);
        }
        m_pPreviousPage = nullptr;
    }
    const bool scanSelect = pageFile == "scan_select.html";
    if (QWidget* scanNow = GetDlgItem(IDC_SCAN_NOW_BUTTON))
        scanNow->setVisible(scanSelect);
    if (QWidget* ok = GetDlgItem(skin::IDOK))
        ok->setVisible(!scanSelect);
    if (m_pCurrentPage == nullptr && page != nullptr)
        m_pCurrentPage = page;
    m_strShownUrl = url;
    Report("page " + url);
}

void CQVConsoleDlg::OnBeforeNavigate(CBrowserControl* pBrowser, const QUrl& url, bool& bCancel)
{
    OnBeforeNavigate(url.toString().toStdString());
    CBrowserHostController::OnBeforeNavigate(pBrowser, url, bCancel);
}

void CQVConsoleDlg::OnDocumentComplete(CBrowserControl* pBrowser, const QUrl& url)
{
    // Script errors of the pages are the pages' business, never a message.
    if (pBrowser != nullptr)
        pBrowser->GetDocument().InsertErrorSilencingScript();
    // The window switches pages first, so the document is shown and has its
    // query when the controller binds it and calls its OnPageLoad.
    OnDocumentComplete(url.toString().toStdString());
    CBrowserHostController::OnDocumentComplete(pBrowser, url);
}

void CQVConsoleDlg::OnNavigateError(CBrowserControl* pBrowser, const QUrl& url, int errorCode,
                                    const QString& errorText, bool& bCancel)
{
    CBrowserHostController::OnNavigateError(pBrowser, url, errorCode, errorText, bCancel);
    bCancel = true;
    // The page that was shown stays, so it stays the current page: its
    // document keeps getting the window's notifications.
    if (m_pCurrentPage == nullptr && m_pPreviousPage != nullptr) {
        m_pCurrentPage = m_pPreviousPage;
        m_pPreviousPage = nullptr;
    }
    if (pBrowser != nullptr && m_pCurrentPage != nullptr)
        m_strShownUrl = pBrowser->GetLocationURL().toString().toStdString();
    Report("navigate_error " + url.toString().toStdString() + " " + errorText.toStdString());
}

int CQVConsoleDlg::QueryDetectedCount() { return m_services.DetectedItemCount(); }

void CQVConsoleDlg::SetApplyEnabled(bool enable)
{
    if (QWidget* apply = GetDlgItem(IDAPPLY))
        apply->setEnabled(enable);
}

bool CQVConsoleDlg::IsApplyEnabled() const
{
    const QWidget* apply = GetDlgItem(IDAPPLY);
    return apply != nullptr && apply->isEnabled();
}

void CQVConsoleDlg::global_settings_changed() { SetApplyEnabled(true); }

namespace {

// The values every update request carries: this process's desktop and id.
NamedValues UpdateRequestValues()
{
    const char* desktop = std::getenv("XDG_SESSION_DESKTOP");
    return {{"process.desktop", desktop != nullptr && *desktop != '\0' ? desktop : "Default"},
            {"ctx.id", std::to_string(::getpid())}};
}

}  // namespace

void CQVConsoleDlg::global_check_for_updates()
{
    m_services.Send("korva.client.check_for_updates", UpdateRequestValues());
}

void CQVConsoleDlg::global_update_product()
{
    NamedValues values = UpdateRequestValues();
    values.emplace_back("spec_components", "/qvupdates=qvbin /qvnoprompt");
    m_services.Send("korva.client.check_for_updates", values);
}

void CQVConsoleDlg::global_update_definitions()
{
    NamedValues values = UpdateRequestValues();
    values.emplace_back("spec_components", "/qvupdates=qvtrg,sg,exp,av");
    m_services.Send("korva.client.check_for_updates", values);
}

void CQVConsoleDlg::EnterBusyMode()
{
    m_services.Send("korva.client.ui.show_alert", {{"type", "hide_suppression_alert"}});
    for (auto& group : m_groups)
        if (group)
            group->Enable(false);
    m_bBusy = true;
    // Held once: entering again while busy must not leak a second handle.
    if (m_hQuarantineRunning == nullptr)
        m_hQuarantineRunning = win::CreateEvent(nullptr, win::TRUE, win::FALSE, "Global\\QUARANTINE_RUNNING");
}

void CQVConsoleDlg::LeaveBusyMode()
{
    // Every tab button comes back with its group; leaving only the scanner
    // tab enabled would lock the results tabs after a scan.
    for (auto& group : m_groups)
        if (group)
            group->Enable(true);
    m_bBusy = false;
    if (m_hQuarantineRunning != nullptr) {
        win::CloseHandle(m_hQuarantineRunning);
        m_hQuarantineRunning = nullptr;
    }
}

void CQVConsoleDlg::AttachToScan()
{
    m_bMissedScanEnd = false;
    EnterBusyMode();
    NavigatePage("scan_scanning.html");
    CQVConsoleApp::Instance().m_bScanStartedHere = 0;
    m_services.Send("korva.scanner.update_scanner_priority", {{"set_ui_mode", "1"}});
}

void CQVConsoleDlg::ShowMessage(const QString& text)
{
    Report("message_box " + text.toStdString());
    const QString layout = QStringLiteral("MESSAGEBOX_INFORMATION_LAYOUT");
    if (m_message) {
        m_message(*this, layout, text);
        return;
    }
    skin::CSkinMessageBox box(this, m_options.resourcePath, QStringLiteral("BLANK_DIALOG"), layout);
    box.SetMessageText(text);
    box.DoModal();
}

bool CQVConsoleDlg::TakeMissedScanEnd()
{
    const bool missed = m_bMissedScanEnd;
    m_bMissedScanEnd = false;
    return missed;
}

void CQVConsoleDlg::StartScan(const CDictionary& input)
{
    m_bMissedScanEnd = false;
    CQVConsoleApp& app = CQVConsoleApp::Instance();
    app.m_strCurrentScanType = input.GetValue("scan_type").ToString();
    const NamedValues request =
        BuildScanStartRequest(input, CQVConsoleApp::Instance().GetSwitches().HasValue("nooptimize"));
    m_services.Post("korva.scanner.start", request);
    Report("start_scan " + request.front().second);
    EnterBusyMode();
}

bool CQVConsoleDlg::LaunchScan(const CDictionary& input)
{
    if (m_services.IsUpdaterActive()) {
        ShowMessage(QString::fromStdString(
            CQVConsoleApp::Instance().GetStringFactory().FormatParameterizedMessage("QV_UPDATER_RUNNING")));
        ScanEndActions().beep(kBeepExclamation);
        return false;
    }
    StartScan(input);
    NavigatePage("scan_scanning.html");
    CQVConsoleApp::Instance().m_bScanStartedHere = 1;
    return true;
}

bool CQVConsoleDlg::RunItemAction(const QStringList& items, const QString& action)
{
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(items.size()));
    for (const QString& item : items)
        entries.push_back(item.toStdString());
    return RunItemAction(entries, action.toStdString());
}

bool CQVConsoleDlg::RunItemAction(const std::vector<std::string>& items, const std::string& action)
{
    // One request per entry, as the item action run sends them; names are
    // compared exactly and an unknown action fails every entry.
    auto requestFor = [&action](const std::string& entry, std::string& name, NamedValues& values) {
        if (action == "remove") {
            name = "korva.quarantine.extract_package";
            values = {{"package_code", entry}, {"perform_extraction", "1"}, {"extract_now", "1"}};
        } else if (action == "allow" || action == "restore") {
            name = "korva.quarantine.v2_restore_package";
            values = {{"package_code", entry}, {"restore_now", "1"}};
        } else if (action == "move_to_detected") {
            name = "korva.quarantine.v2_undo_package";
            values = {{"package_code", entry}, {"package_status", "quarantined"}};
        } else if (action == "restore_items") {
            name = "korva.quarantine.v2_restore_item";
            values = {{"item_code", entry}};
        } else {
            return false;
        }
        return true;
    };
    const bool wasBusy = m_bBusy;
    EnterBusyMode();
    std::size_t failed = 0;
    for (const std::string& entry : items) {
        std::string name;
        NamedValues values;
        if (!requestFor(entry, name, values) || !m_services.Query(name, values).Succeeded())
            ++failed;
    }
    m_services.Query("korva.quarantine.v2_extract_containers");
    m_services.Query("korva.justice.integrity_check");
    // A run started while a scan held busy mode leaves it to the scan.
    if (!wasBusy)
        LeaveBusyMode();
    Report("item_action " + action + " entries=" + std::to_string(items.size()) + " failed=" + std::to_string(failed));
    if (CQVConsoleApp::Instance().GetSwitches().HasValue("auto_reboot"))
        ScanEndActions().restart(kRestartFlags);
    return failed == 0;
}

void CQVConsoleDlg::BringToFront() { win::SetForegroundWindow(GetSafeHwnd()); }

void CQVConsoleDlg::MapLaunchMessages()
{
    // The launch messages come from second instances, other processes.
    for (const win::UINT message : {CQVConsoleApp::s_nLaunchExtraction, CQVConsoleApp::s_nLaunchScan,
                                    CQVConsoleApp::s_nLaunchToResults, CQVConsoleApp::s_nLaunchToSG})
        win::ChangeWindowMessageFilter(message, win::MSGFLT_ADD);
    // While busy the scanning page stays: a launch only brings the window
    // to the front, so no scan or item action loses its page.
    auto leave = [this](const char* name, const char* page) {
        return [this, name, page](win::WPARAM, win::LPARAM) -> win::LRESULT {
            Report(name);
            if (!m_bBusy)
                NavigatePage(page);
            BringToFront();
            return 0;
        };
    };
    MapMessage(CQVConsoleApp::s_nLaunchExtraction,
               leave("QV_LAUNCH_EXTRACTION", "scan_results_detected.html?action=start_now"));
    MapMessage(CQVConsoleApp::s_nLaunchToResults, leave("QV_LAUNCH_TO_RESULTS", "scan_results_detected.html"));
    MapMessage(CQVConsoleApp::s_nLaunchToSG, leave("QV_LAUNCH_TO_SG", "pop-up_block-allow.html"));
    MapMessage(CQVConsoleApp::s_nLaunchScan, [this](win::WPARAM, win::LPARAM) -> win::LRESULT {
        Report("QV_LAUNCH_SCAN");
        if (!m_bBusy) {
            if (m_services.IsScanRunning()) {
                AttachToScan();
            } else {
                CDictionary input;
                input["scan_type"] = "full";
                if (!LaunchScan(input))
                    NavigatePage("scan_select.html");
            }
        }
        BringToFront();
        return 0;
    });
    MapMessage(CQVConsoleApp::s_nNotifyCurrentPage, [this](win::WPARAM wParam, win::LPARAM lParam) -> win::LRESULT {
        if (m_pCurrentPage != nullptr)
            m_pCurrentPage->OnCurrentPageMessage(wParam, lParam);
        return 0;
    });
}

void CQVConsoleDlg::MapApplicationMessages()
{
    // Posted heap copies belong to this window once received; they go to the
    // shown page's document and are freed after it, whether or not a page is
    // shown.
    MapMessage(CQVConsoleApp::s_nMessageConfigChange, [this](win::WPARAM wParam, win::LPARAM) -> win::LRESULT {
        auto* record = reinterpret_cast<ConfigChangeRecord*>(wParam);
        if (record == nullptr)
            return 0;
        if (CHTMLConfigDocBase* document = GetCurrentDocument())
            document->OnConfigChange(*record);
        Report("config_change setting=" + std::to_string(record->setting) + " type=" + std::to_string(record->type) +
               " text=" + record->text + " integer=" + std::to_string(record->integer) +
               " bool=" + std::to_string(record->boolean ? 1 : 0) + " time=" + std::to_string(record->time));
        delete[] record->text;
        delete record;
        return 0;
    });
    MapMessage(CQVConsoleApp::s_nMessageScannerStateUpdate, [this](win::WPARAM wParam, win::LPARAM) -> win::LRESULT {
        Report("scanner_state " + std::to_string(wParam));
        CHTMLConfigDocBase* document = GetCurrentDocument();
        const int state = static_cast<int>(wParam);
        if ((state == kScannerComplete || state == kScannerException) &&
            dynamic_cast<CHTMLConfigDocScanScanning*>(document) == nullptr)
            m_bMissedScanEnd = true;  // the scanning page ends the scan when it has loaded
        if (document != nullptr)
            document->OnScannerState(static_cast<int>(wParam));
        return 0;
    });
    MapMessage(CQVConsoleApp::s_nMessageScannerProgressUpdate, [this](win::WPARAM wParam, win::LPARAM) -> win::LRESULT {
        auto* record = reinterpret_cast<ScannerProgressRecord*>(wParam);
        if (record == nullptr)
            return 0;
        if (CHTMLConfigDocBase* document = GetCurrentDocument())
            document->OnScannerProgress(*record);
        Report("scanner_progress item=" + std::string(record->scan_item) +
               " percent=" + std::to_string(record->scan_percent));
        delete[] record->scan_item;
        delete[] record->scan_scanner;
        delete record;
        return 0;
    });
}

void CQVConsoleDlg::OnScannerNotify(CMsgRequest& request)
{
    if (request.GetValue("status").ToString() == "failed_to_launch") {
        // The service's message is appended as text, never used as a format.
        const std::string text = CQVConsoleApp::Instance().GetStringFactory().FormatParameterizedMessage(
                                     "QVO_UNABLE_TO_START_SCANNER") +
                                 request.GetValue("message").ToString();
        Report("message_box " + text);
        LeaveBusyMode();
        NavigatePage("home.html");
        return;
    }
    request["xyz.abc.notification.type"] = "scanner";
    Report("scanner_notify " + request.GetValue("scan_event").ToString());
    if (m_pCurrentPage != nullptr)
        m_pCurrentPage->OnNotify(request);
}

void CQVConsoleDlg::PlaceWindow()
{
    if (size() == QSize(kWindowWidth, kWindowHeight))
        return;
    resize(kWindowWidth, kWindowHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - kWindowWidth) / 2, area.y() + (area.height() - kWindowHeight) / 2);
    }
}

void CQVConsoleDlg::changeEvent(QEvent* event)
{
    CSkinDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::StyleChange)
        PlaceWindow();
}

int CQVConsoleDlg::Ask(const QString& layout)
{
    if (m_ask)
        return m_ask(*this, layout);
    skin::CSkinMessageBox box(this, m_options.resourcePath, QStringLiteral("BLANK_DIALOG"), layout);
    return box.DoModal();
}

void CQVConsoleDlg::ExitProcessing(bool stopScan)
{
    if (m_bExitProcessed)
        return;
    m_bExitProcessed = true;
    CQVConsoleApp::Instance().m_bExitProcessed = 1;
    if (stopScan && m_services.IsScanRunning())
        m_services.Send("korva.scanner.stop");
    else if (!stopScan)
        m_services.Send("korva.scanner.update_scanner_priority", {{"set_ui_mode", "0"}});
    CMsgDispatcher::Instance().UnbindWindow(this);
}

void CQVConsoleDlg::OnApply()
{
    if (CHTMLConfigDocBase* document = GetCurrentDocument())
        document->UpdateData(/*bSaveAndValidate=*/true);
    if (!m_proxy.Apply())
        Report("apply: a setting could not be written");
    m_services.Send("korva.sensor.registry.trigger_key_change",
                    {{"regkey", "HKCU\\Software\\Microsoft\\Internet Explorer\\Main"}});
    SetApplyEnabled(false);
}

void CQVConsoleDlg::OnOKButton()
{
    hide();
    ExitProcessing(/*stopScan=*/false);
    OnApply();
    done(skin::IDOK);
}

void CQVConsoleDlg::OnClose()
{
    if (m_services.IsScanRunning() && m_services.ExternalInteger("options_disable_scan_confirmation", 0) == 0 &&
        Ask(QStringLiteral("dialog_mini_scan_cancel_layout")) != skin::IDYES)
        return;
    bool save = false;
    if (IsApplyEnabled())
        save = Ask(QStringLiteral("dialog_mini_save_settings_layout")) == skin::IDYES;
    hide();
    ExitProcessing(/*stopScan=*/true);
    if (save) {
        if (CHTMLConfigDocBase* document = GetCurrentDocument())
            document->UpdateData(/*bSaveAndValidate=*/true);
        if (!m_proxy.Apply())
            Report("apply: a setting could not be written");
    }
    done(skin::IDCANCEL);
}

bool CQVConsoleDlg::OnCommand(int id)
{
    switch (id) {
    case skin::IDOK:
        OnOKButton();
        return true;
    case skin::IDCANCEL:
    case IDC_QVO_CLOSE_BTN:
        OnClose();
        return true;
    case IDAPPLY:
        OnApply();
        return true;
    case IDC_QVO_MINIMIZE_BTN:
        showMinimized();
        return true;
    case IDC_QVO_HELP_BTN:
        ShowHelpContext(kHelpButtonContext);
        return true;
    case IDC_QVO_HELPCONTEXT_BTN:
        ShowHelpContext(CurrentHelpContext());
        return true;
    case IDC_SCAN_NOW_BUTTON:
        // The scan chosen on the scan page, as its own start button does.
        if (auto* scanPage = dynamic_cast<CHTMLConfigDocScan*>(GetCurrentDocument()))
            scanPage->start_scan();
        return true;
    default:
        break;
    }
    const auto it = m_navButtonIds.find(id);
    if (it != m_navButtonIds.end()) {
        if (CCfgPageBase* owner = it->second->GetOwner())
            owner->Activate();
        return true;
    }
    return CSkinDialog::OnCommand(id);
}

int CQVConsoleDlg::CurrentHelpContext() const
{
    return m_pCurrentPage != nullptr ? m_pCurrentPage->GetHelpContext() : -1;
}

void CQVConsoleDlg::ShowHelpContext(int contextId)
{
    Report("help " + std::to_string(contextId));
    if (!::ShowHelpContext(this, contextId, HelpWindowState::Maximized))
        Report("help: the help pages could not be shown");
}

bool CQVConsoleDlg::OnShowHelp(CBrowserControl* /*pBrowser*/)
{
    ShowHelpContext(CurrentHelpContext());
    return true;
}

void CQVConsoleDlg::Start()
{
    Create();
    const CDictionary& switches = CQVConsoleApp::Instance().GetSwitches();
    const std::string action = switches.GetValue("action").ToString();
    SignalNamedEvent("zbev__settings_changed", /*create=*/true);
    if (m_services.IsScanRunning()) {
        AttachToScan();
    } else if (switches.HasValue("scan")) {
        // "now" and any type the scanner does not know start a full scan.
        const std::string type = switches.GetValue("scan").ToString();
        CDictionary input;
        input["scan_type"] = ScanTypeName(ScanTypeNumber(type));
        if (!LaunchScan(input))
            NavigatePage("scan_select.html");
    } else if (action == "launch_extraction") {
        NavigatePage("scan_results_detected.html?action=start_now");
    } else if (action == "launch_results") {
        NavigatePage("scan_results_detected.html");
    } else if (action == "sgmanagesites") {
        NavigatePage("pop-up_block-allow.html");
    } else {
        NavigatePage(m_options.infectionSkin ? "homeinf.html" : "home.html");
    }
    PlaceWindow();
    show();
    SignalNamedEvent("Global\\QV_SPLASH_ACTIVE", /*create=*/false);
    GetSafeHwnd();
    // Reported once the event loop runs, when other processes can reach the
    // window.
    QTimer::singleShot(0, this, [] { Report("window_ready"); });
}
