#include "page_tree.h"

#include "servicelink/msg_request.h"

// clang-format off
const std::vector<PageTableRow> kPageTable = {
    {0, "home", "IDC_QVO_HOME_BTN", 0, nullptr, nullptr, nullptr, false, 0},
    {0, nullptr, nullptr, 0, "tab_home", "home.html", nullptr, true, 2},
    {1, "scan", "IDC_QVO_SCAN_BTN", -1, nullptr, nullptr, nullptr, false, 0},
    {1, nullptr, nullptr, 0, "tab_scanner", "scan_select.html", "IDC_QVO_TAB_SCANNER_BTN", true, 28},
    {1, nullptr, nullptr, 0, "tab_scanner_scanning", "scan_scanning.html", "IDC_QVO_TAB_SCANNER_BTN", false, 19},
    {1, nullptr, nullptr, 0, "tab_scan_results_optimized", "scan_results_optimized.html", "IDC_QVO_TAB_RESULTS_BTN", true, 12},
    {1, nullptr, nullptr, 0, "tab_scan_results_allowed", "scan_results_allowed.html", "IDC_QVO_TAB_RESULTS_BTN", true, 12},
    {1, nullptr, nullptr, 0, "tab_scan_results_removed", "scan_results_removed.html", "IDC_QVO_TAB_RESULTS_BTN", true, 12},
    {1, nullptr, nullptr, 0, "tab_scan_results_detected", "scan_results_detected.html", "IDC_QVO_TAB_RESULTS_BTN", true, 12},
    {2, "realtime", "IDC_QVO_REALTIME_BTN", 0, nullptr, nullptr, nullptr, false, 0},
    {2, nullptr, nullptr, 0, "tab_summary", "realtime_summary.html", "IDC_QVO_TAB_SUMMARY_BTN", true, 9},
    {2, nullptr, nullptr, 0, "tab_active_enforcers", "realtime_enforcers.html", "IDC_QVO_TAB_ACTIVEENFORCERS_BTN", true, 6},
    {2, nullptr, nullptr, 0, "tab_settings", "realtime_settings.html", "IDC_QVO_TAB_SETTINGS_BTN", true, 8},
    {2, nullptr, nullptr, 0, "tab_quarantine", "realtime_quarantine.html", "IDC_QVO_TAB_QUARANTINE_BTN", true, 7},
    {3, "popup_protection", "IDC_QVO_POPUP_BTN", 0, nullptr, nullptr, nullptr, false, 0},
    {3, nullptr, nullptr, 0, "tab_popup_summary", "pop-up_summary.html", "IDC_QVO_TAB_POPUP_SUMMARY_BTN", true, 36},
    {3, nullptr, nullptr, 0, "tab_popup_allowblock", "pop-up_block-allow.html", "IDC_QVO_TAB_POPUP_ALLOWBLOCK_BTN", true, 4},
    {4, "scheduler", "IDC_QVO_SCHEDULER_BTN", 0, nullptr, nullptr, nullptr, false, 0},
    {4, nullptr, nullptr, 0, "tab_scheduler_summary", "scheduler_scan.html", "IDC_QVO_TAB_SCHEDULER_SUMMARY_BTN", true, 15},
    {4, nullptr, nullptr, 0, "tab_scheduler_update", "scheduler_updates.html", "IDC_QVO_TAB_SCHEDULER_UPDATES_BTN", true, 14},
    {4, nullptr, nullptr, 0, "tab_scheduler_version", "scheduler_version.html", "IDC_QVO_TAB_SCHEDULER_VERSION_BTN", true, 14},
    {5, "tools", "IDC_QVO_TOOLS_BTN", 0, nullptr, nullptr, nullptr, false, 0},
    {5, nullptr, nullptr, 0, "tab_tools_summary", "tools.html", "IDC_QVO_TAB_TOOLS_SUMMARY_BTN", true, 30},
};
// clang-format on

CCfgPage::CCfgPage(IPageTreeHost& host, std::string tabId, std::string pageFile, COptionsNavButton* tabButton,
                   int helpContext, std::unique_ptr<CHTMLConfigDocBase> document)
    : m_host(host), m_strTabId(std::move(tabId)), m_strPageFile(std::move(pageFile)), m_pTabButton(tabButton),
      m_nHelpContext(helpContext), m_pDocument(std::move(document))
{
}

void CCfgPage::Activate() { m_host.NavigatePage(m_strPageFile); }

void CCfgPage::Select(bool show)
{
    if (m_pGroup != nullptr)
        m_pGroup->Select(show, this);
}

void CCfgPage::ShowTab(bool show)
{
    const TabState wanted = show ? TabState::Shown : TabState::Hidden;
    if (wanted == m_tabState)
        return;
    m_tabState = wanted;
    if (m_pTabButton != nullptr)
        m_pTabButton->Show(show);
}

void CCfgPage::OnNotify(CMsgRequest& request)
{
    if (m_pDocument)
        m_pDocument->OnScannerNotify(request);
}

void CCfgPage::Enable(bool enable)
{
    if (m_pTabButton != nullptr)
        m_pTabButton->Enable(enable);
}

void CCfgPage::OnCurrentPageMessage(win::WPARAM wParam, win::LPARAM lParam)
{
    if (m_pDocument)
        m_pDocument->OnCurrentPageMessage(wParam, lParam);
}

void CCfgPageGroup::AddPage(std::unique_ptr<CCfgPage> page)
{
    page->SetGroup(this);
    m_pages.push_back(std::move(page));
}

CCfgPage* CCfgPageGroup::StartPage() const
{
    if (m_pages.empty())
        return nullptr;
    const int index = m_nStartIndex == -1 ? m_nLastSelected : m_nStartIndex;
    if (index < 0 || static_cast<std::size_t>(index) >= m_pages.size())
        return m_pages.front().get();
    return m_pages[static_cast<std::size_t>(index)].get();
}

void CCfgPageGroup::Activate()
{
    if (CCfgPage* page = StartPage())
        page->Activate();
}

void CCfgPageGroup::Select(bool show, CCfgPage* page)
{
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        CCfgPage* p = m_pages[i].get();
        p->ShowTab(show);
        if (p == page)
            m_nLastSelected = static_cast<int>(i);
        else if (p->GetTabButton() != nullptr)
            p->GetTabButton()->SetActive(false);
    }
    if (page != nullptr && page->GetTabButton() != nullptr)
        page->GetTabButton()->SetActive(show);
    if (m_pNavButton != nullptr)
        m_pNavButton->SetActive(show);
}

void CCfgPageGroup::OnNotify(CMsgRequest& request)
{
    for (auto& page : m_pages)
        page->OnNotify(request);
}

void CCfgPageGroup::Enable(bool enable)
{
    if (m_pNavButton != nullptr)
        m_pNavButton->Enable(enable);
    for (auto& page : m_pages)
        page->Enable(enable);
}

void CCfgPageGroupScan::Activate()
{
    CCfgPage* page = StartPage();
    if (page == nullptr)
        return;
    if (m_host.QueryDetectedCount() != 0)
        page = Pages().back().get();
    page->Activate();
}
