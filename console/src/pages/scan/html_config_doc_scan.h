// CHTMLConfigDocScan: the scan selection page ("scan_select.html", tab
// "tab_scanner"). The user picks one of four scan types; for a custom scan
// the folder tree, drawn over the page's "block_allow" element, picks the
// folders and extra areas. start_scan starts the chosen scan through the
// window's shared start-scan operation.
#pragma once

#include <QPointer>
#include <functional>
#include <string>

#include "html_config_doc_base.h"
#include "pages/scan/directory_tree_ctrl.h"

class CQVConsoleDlg;

class CHTMLConfigDocScan : public CHTMLConfigDocBase {
public:
    CHTMLConfigDocScan(CQVConsoleDlg* window, QWidget* ownerWidget, win::CMessageTarget* owner,
                       CConfigurationProxy* proxy);
    ~CHTMLConfigDocScan() override;

    void OnPageLoad(QWidget* pHostWnd, CBrowserControl* pBrowser, const CHTMLDocument& document) override;
    void OnBeforePageUnload(QWidget* pHostWnd) override;
    void DoDataExchange(CHTMLDataExchange* pDX) override;
    void LoadSettings() override;

    // Script-callable methods.
    void start_scan();
    void hide_file_view();
    void show_file_view();

    const QString& GetScanType() const { return m_strScanType; }
    CDirectoryTreeCtrl* GetTree() const { return m_pTree.data(); }

    // What the folder tree shows; the default finds this machine's volumes
    // and the virus option's conditions (tests give their own folders).
    using TreeContentsFunction = std::function<CDirectoryTreeCtrl::Contents()>;
    static void SetTreeContentsFunction(TreeContentsFunction contents);

private:
    CDirectoryTreeCtrl::Contents TreeContents() const;
    void CreateTree(CBrowserControl* pBrowser);
    void PlaceTree();

    CQVConsoleDlg* m_pWindow;
    QString m_strScanType;
    QPointer<CDirectoryTreeCtrl> m_pTree;
};
