#include "pages/scan/html_config_doc_scan.h"

#include <QEvent>
#include <QFileInfo>
#include <QTimer>
#include <filesystem>

#include "korva_config_setting.h"
#include "pages/scan/scan_start.h"
#include "qvconsole_app.h"
#include "qvconsole_dlg.h"
#include "servicelink/html/browser_control.h"
#include "win/state_root.h"

namespace {

CHTMLConfigDocScan::TreeContentsFunction& ContentsFunction()
{
    static CHTMLConfigDocScan::TreeContentsFunction function;
    return function;
}

// Keeps the tree over the "block_allow" element when the browser changes
// size.
class CTreePlacer : public QObject {
public:
    CTreePlacer(QObject* parent, std::function<void()> place)
        : QObject(parent), m_place(std::move(place))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            QTimer::singleShot(0, this, [this] { m_place(); });
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_place;
};

// The virus definitions: "vdb.xml" in "Tavrel!/vdb/" of the machine-wide
// data folder (the service's).
bool VirusDefinitionsPresent()
{
    const std::filesystem::path file = win::StateFolderPath(win::StateFolder::Service) / "Tavrel!" / "vdb" / "vdb.xml";
    std::error_code error;
    return std::filesystem::is_regular_file(file, error);
}

}  // namespace

CHTMLConfigDocScan::CHTMLConfigDocScan(CQVConsoleDlg* window, QWidget* ownerWidget, win::CMessageTarget* owner,
                                       CConfigurationProxy* proxy)
    : CHTMLConfigDocBase(ownerWidget, owner, proxy, "tab_scanner"), m_pWindow(window)
{
    m_scriptMethods.Add(QStringLiteral("start_scan"), this, &CHTMLConfigDocScan::start_scan);
    m_scriptMethods.Add(QStringLiteral("hide_file_view"), this, &CHTMLConfigDocScan::hide_file_view);
    m_scriptMethods.Add(QStringLiteral("show_file_view"), this, &CHTMLConfigDocScan::show_file_view);
}

CHTMLConfigDocScan::~CHTMLConfigDocScan() { delete m_pTree.data(); }

void CHTMLConfigDocScan::SetTreeContentsFunction(TreeContentsFunction contents)
{
    ContentsFunction() = std::move(contents);
}

CDirectoryTreeCtrl::Contents CHTMLConfigDocScan::TreeContents() const
{
    if (ContentsFunction())
        return ContentsFunction()();
    CDirectoryTreeCtrl::Contents contents = CDirectoryTreeCtrl::DetectVolumes();
    contents.virusOption = m_pWindow != nullptr && m_pWindow->GetServices().ExternalInteger("disable_virus", 0) == 0 &&
                           VirusDefinitionsPresent();
    return contents;
}

void CHTMLConfigDocScan::DoDataExchange(CHTMLDataExchange* pDX)
{
    BeginExchange(pDX->m_bSaveAndValidate);
    DDX_HTMLRadio(pDX, QStringLiteral("scanner_options"), m_strScanType);
    EndExchange(pDX->m_bSaveAndValidate);
}

void CHTMLConfigDocScan::LoadSettings()
{
    std::string type;
    if (m_pWindow != nullptr)
        type = FindCurrentScanType(*this, m_pWindow->GetServices(), /*enable=*/false).type;
    if (type.empty() && GetProxy() != nullptr)
        GetProxy()->GetText(KCS_last_scan_type, type);
    if (type.empty())
        type = "full";
    m_strScanType = QString::fromStdString(type);
    CallJScript(QStringLiteral("set_scan_type"), nullptr, {QString::fromStdString(ScanTypeRadioIndex(type))});
}

void CHTMLConfigDocScan::OnPageLoad(QWidget* pHostWnd, CBrowserControl* pBrowser, const CHTMLDocument& document)
{
    CHTMLConfigDocBase::OnPageLoad(pHostWnd, pBrowser, document);
    CreateTree(pBrowser);
    if (GetProxy() != nullptr && m_pTree) {
        std::string partial, full, options;
        GetProxy()->GetText(KCS_partial_folders, partial);
        GetProxy()->GetText(KCS_full_folders, full);
        GetProxy()->GetText(KCS_custom_scan_options, options);
        if (!partial.empty() || !full.empty())
            m_pTree->ApplySavedFolders(QString::fromStdString(full), QString::fromStdString(partial));
        if (!options.empty())
            m_pTree->ApplySavedOptions(QString::fromStdString(options));
    }
    if (m_pTree && m_strScanType.compare(QLatin1String("custom"), Qt::CaseInsensitive) != 0)
        m_pTree->hide();
    if (m_pWindow == nullptr)
        return;
    const ScannerStatus status = QueryScannerStatus(m_pWindow->GetServices());
    if (status.state != 0) {
        m_strScanType = QString::fromStdString(ScanTypeName(status.typeNumber));
        m_pWindow->EnterBusyMode();
        m_pWindow->NavigatePage("scan_scanning.html");
    }
}

void CHTMLConfigDocScan::OnBeforePageUnload(QWidget* pHostWnd)
{
    delete m_pTree.data();
    CHTMLConfigDocBase::OnBeforePageUnload(pHostWnd);
}

void CHTMLConfigDocScan::CreateTree(CBrowserControl* pBrowser)
{
    delete m_pTree.data();
    if (pBrowser == nullptr)
        return;
    m_pTree = new CDirectoryTreeCtrl(pBrowser, TreeContents());
    m_pTree->setObjectName(QStringLiteral("scan_folder_tree"));
    m_pTree->setStyleSheet(QStringLiteral(
        "QTreeWidget { background: #FFFFFF; border: 1px solid #D5DDE8; color: #1B2A41;"
        " font-family: 'DejaVu Sans'; font-size: 11px; }"));
    auto* placer = new CTreePlacer(m_pTree, [this] { PlaceTree(); });
    pBrowser->installEventFilter(placer);
    PlaceTree();
    m_pTree->show();
    m_pTree->raise();
    // The page may still settle (fonts); place the tree again once it has.
    QTimer::singleShot(300, m_pTree, [this] { PlaceTree(); });
}

void CHTMLConfigDocScan::PlaceTree()
{
    if (!m_pTree)
        return;
    const CHTMLElement block = GetElementById(QStringLiteral("block_allow"));
    QRect rect;
    if (!block.IsNull() && block.GetRect(rect) && rect.isValid())
        m_pTree->setGeometry(rect);
    m_pTree->raise();
}

void CHTMLConfigDocScan::hide_file_view()
{
    if (m_pTree)
        m_pTree->hide();
}

void CHTMLConfigDocScan::show_file_view()
{
    if (!m_pTree)
        return;
    PlaceTree();
    m_pTree->show();
    m_pTree->raise();
}

void CHTMLConfigDocScan::start_scan()
{
    UpdateData(/*bSaveAndValidate=*/true);
    const std::string type = m_strScanType.toLower().toStdString();
    CDictionary input;
    input["scan_type"] = type;
    if (type == "custom") {
        QString full, partial, options = QStringLiteral("NO OPTIONS");
        if (m_pTree) {
            full = m_pTree->FullList();
            partial = m_pTree->PartialList();
            options = m_pTree->OptionText();
        }
        std::string scanners = "quarantine";
        const auto has = [&options](const char* key) { return options.contains(QLatin1String(key)); };
        if (has("scan_processes"))
            scanners += ",process";
        if (!full.isEmpty())
            scanners += ",file";
        if (has("scan_services"))
            scanners += ",service";
        if (has("scan_drivers"))
            scanners += ",driver";
        if (has("scan_registry"))
            scanners += ",com,distunit,registry,uninstall";
        if (has("scan_cookies"))
            scanners += ",cookie";
        if (has("scan_network_components"))
            scanners += ",hosts";
        if (has("scan_restore_points"))
            scanners += ",restore_point";
        if (full.isEmpty())
            full = QStringLiteral("none");
        input["directories"] = full.toStdString();
        input["partial_directories"] = partial.toStdString();
        input["scanners"] = scanners;
        input["enable_virus_scan"] = has("enable_virus_scan") ? "1" : "0";
        // Stored at once in the service, so the next visit shows this choice.
        if (GetProxy() != nullptr) {
            GetProxy()->WriteNow(KCS_partial_folders, partial.toStdString());
            GetProxy()->WriteNow(KCS_full_folders, full.toStdString());
            GetProxy()->WriteNow(KCS_custom_scan_options, options.toStdString());
        }
    } else if (type == "quick") {
        input["scanners"] = "cookie,quarantine,process,distunit,driver,uninstall,service";
    }
    if (m_pWindow != nullptr)
        m_pWindow->LaunchScan(input);
}
