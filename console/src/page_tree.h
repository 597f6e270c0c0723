// The control panel's page tree: groups of pages, one group per navigation
// button, each page with its tab button and its document. The window builds
// it once from kPageTable and switches pages through it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "html_config_doc_base.h"
#include "options_nav_button.h"

class CMsgRequest;
class CCfgPageGroup;

// What the tree needs from its window.
class IPageTreeHost {
public:
    virtual ~IPageTreeHost() = default;
    virtual void NavigatePage(const std::string& pageFile) = 0;
    // The number of detected items the service holds (0 when it cannot say).
    virtual int QueryDetectedCount() = 0;
};

class CCfgPageBase {
public:
    virtual ~CCfgPageBase() = default;
    virtual void Activate() = 0;
    virtual void OnNotify(CMsgRequest& request) = 0;
    virtual void Enable(bool enable) = 0;
};

class CCfgPage : public CCfgPageBase {
public:
    CCfgPage(IPageTreeHost& host, std::string tabId, std::string pageFile, COptionsNavButton* tabButton,
             int helpContext, std::unique_ptr<CHTMLConfigDocBase> document);

    void Activate() override;
    void Select(bool show);
    // Remembers the state and touches the button only on a change; the
    // first call always acts.
    void ShowTab(bool show);
    void OnNotify(CMsgRequest& request) override;
    void Enable(bool enable) override;
    void OnCurrentPageMessage(win::WPARAM wParam, win::LPARAM lParam);

    CHTMLConfigDocBase* GetDocument() const { return m_pDocument.get(); }
    const std::string& GetTabId() const { return m_strTabId; }
    const std::string& GetPageFile() const { return m_strPageFile; }
    COptionsNavButton* GetTabButton() const { return m_pTabButton; }
    int GetHelpContext() const { return m_nHelpContext; }
    CCfgPageGroup* GetGroup() const { return m_pGroup; }
    void SetGroup(CCfgPageGroup* group) { m_pGroup = group; }

private:
    enum class TabState { Unknown, Shown, Hidden };
    IPageTreeHost& m_host;
    std::string m_strTabId;
    std::string m_strPageFile;
    COptionsNavButton* m_pTabButton;
    int m_nHelpContext;
    std::unique_ptr<CHTMLConfigDocBase> m_pDocument;
    CCfgPageGroup* m_pGroup = nullptr;
    TabState m_tabState = TabState::Unknown;
};

class CCfgPageGroup : public CCfgPageBase {
public:
    CCfgPageGroup(std::string name, int startIndex, COptionsNavButton* navButton)
        : m_strName(std::move(name)), m_nStartIndex(startIndex), m_pNavButton(navButton)
    {
    }

    void Activate() override;
    void Select(bool show, CCfgPage* page);
    void OnNotify(CMsgRequest& request) override;
    void Enable(bool enable) override;

    void AddPage(std::unique_ptr<CCfgPage> page);
    const std::vector<std::unique_ptr<CCfgPage>>& Pages() const { return m_pages; }
    const std::string& GetName() const { return m_strName; }
    COptionsNavButton* GetNavButton() const { return m_pNavButton; }
    int GetLastSelected() const { return m_nLastSelected; }

protected:
    // The page activate starts from: the start index, or the last selected
    // page when it is -1; null for an empty group.
    CCfgPage* StartPage() const;

private:
    std::string m_strName;
    int m_nStartIndex;
    COptionsNavButton* m_pNavButton;
    std::vector<std::unique_ptr<CCfgPage>> m_pages;
    int m_nLastSelected = 0;
};

// The scan group: with detected items in the service it opens on its last
// page, the detected results.
class CCfgPageGroupScan : public CCfgPageGroup {
public:
    CCfgPageGroupScan(IPageTreeHost& host, std::string name, int startIndex, COptionsNavButton* navButton)
        : CCfgPageGroup(std::move(name), startIndex, navButton), m_host(host)
    {
    }
    void Activate() override;

private:
    IPageTreeHost& m_host;
};

// One row of the page table: a group row has a navigation button and no tab
// id; a page row has a tab id.
struct PageTableRow {
    int group;
    const char* groupName;   // group rows
    const char* navButton;   // group rows
    int startIndex;          // group rows
    const char* tabId;       // page rows
    const char* pageFile;    // page rows
    const char* tabButton;   // page rows; null: none
    bool ownsButton;
    int helpContext;
};

extern const std::vector<PageTableRow> kPageTable;
