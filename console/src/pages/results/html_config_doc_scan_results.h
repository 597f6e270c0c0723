// The item pages of the scan results: detected, allowed and removed. Each
// loads the service's item records of its state on a pool thread, groups
// them by package, shows at most 21 lines of a package with a summary row
// for the rest (expand_row shows them), and hands the ticked packages to
// the window's item action.
#pragma once

#include <atomic>
#include <string>

#include "results_doc_base.h"

// The shared part of the three item pages.
class CResultsItemDoc : public CResultsDocBase {
public:
    struct Page {
        const char* tabId;
        const char* tableId;
        const char* pageFile;
        const char* query;  // the item query of the page
    };

    CResultsItemDoc(const Page& page, QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy,
                    IResultsService* service);

    void OnCurrentPageMessage(win::WPARAM kind, win::LPARAM data) override;
    void RunLoader(LoaderToken token) override;

    // Script method: shows the hidden lines of PACKAGECODE.
    void expand_row(const QString& packageCode);

protected:
    // Detected page steps around the common loader.
    virtual bool BeforeRows(LoaderToken /*token*/) { return true; }
    virtual bool AfterCount(LoaderToken /*token*/, int /*total*/) { return true; }
    // The item count the end dictionary reports (the removed page asks the
    // service for its own count).
    virtual int ReportedCount(int total) { return total; }
    // Kinds 2 and 3, for the detected page.
    virtual void OnPageKind(int /*kind*/, const CDictionary& /*data*/) {}

    // Takes the ticked packages; with none does nothing. CONFIRMKIND >= 0
    // asks CConfirmationDlg of that kind first (an owner window is then
    // needed). Then the window runs ACTION and this page reloads.
    void RunPackageAction(const char* action, int confirmKind);

    const char* QueryName() const { return m_strQuery; }

private:
    void AddRow(const CDictionary& row);

    const char* m_strQuery;
};

class CHTMLConfigDocScanResults final : public CResultsItemDoc {
public:
    ~CHTMLConfigDocScanResults() override { StopLoaders(); }
    CHTMLConfigDocScanResults(QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy,
                              IResultsService* service = nullptr);

    void SetQueryParameters(const CDictionary& query) override;
    void OnPageAction() override;

    void allow_selected_items();
    void remove_selected_items();

    // The command-line switches the page action reads (default: the
    // program's own).
    void SetSwitches(const CDictionary& switches);

protected:
    bool BeforeRows(LoaderToken token) override;
    bool AfterCount(LoaderToken token, int total) override;
    void OnPageKind(int kind, const CDictionary& data) override;

private:
    bool HasSwitch(const char* name) const;

    bool m_bStartNowPending = false;
    bool m_bAutoExtractDone = false;
    bool m_bOwnSwitches = false;
    CDictionary m_switches;
};

class CHTMLConfigDocScanResultsAllowed final : public CResultsItemDoc {
public:
    ~CHTMLConfigDocScanResultsAllowed() override { StopLoaders(); }
    CHTMLConfigDocScanResultsAllowed(QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy,
                                     IResultsService* service = nullptr);
    void undo();
    void remove();
};

class CHTMLConfigDocScanResultsRemoved final : public CResultsItemDoc {
public:
    ~CHTMLConfigDocScanResultsRemoved() override { StopLoaders(); }
    CHTMLConfigDocScanResultsRemoved(QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy,
                                     IResultsService* service = nullptr);
    void restore();

protected:
    int ReportedCount(int total) override;
};
