// CHTMLConfigDocScanScanning: the scanning page ("scan_scanning.html"). It
// shows the scanner area, the element being examined, the count, two
// progress bars and one table row per threat package found; it pauses,
// resumes and stops the scan; when the scan ends it plays the sound, starts
// the prevalence report, moves on to the detected results (or back to the
// scan page) and leaves busy mode.
#pragma once

#include <cstdint>
#include <string>

#include "html_config_doc_base.h"
#include "servicelink/dictionary.h"

class CQVConsoleDlg;
class CScanNagDlg;

class CHTMLConfigDocScanScanning : public CHTMLConfigDocBase {
public:
    CHTMLConfigDocScanScanning(CQVConsoleDlg* window, QWidget* ownerWidget, win::CMessageTarget* owner,
                               CConfigurationProxy* proxy);

    void DoDataExchange(CHTMLDataExchange* pDX) override;
    void LoadSettings() override;
    void OnScannerState(int state) override;
    void OnScannerProgress(const ScannerProgressRecord& record) override;
    void OnScannerNotify(CMsgRequest& request) override;

    // Script-callable methods.
    void pause_scan();
    void stop_scan();

    // One found package (a threat notification or a found-items row).
    void AddFoundItem(const CValueAccessor& values);

    bool IsRunning() const { return m_bRunning; }
    bool IsStopRequested() const { return m_bStopRequested; }
    unsigned GetThreatsFound() const { return m_nThreatsFound; }
    std::uint64_t GetElementsExamined() const { return m_nElements; }
    const QString& GetScanType() const { return m_strScanType; }

private:
    void ShowProgress(const std::string& item, const std::string& scanner, std::uint64_t elements);
    void SetTotalProgress(int value);
    void SetElementProgress(int value);
    void ScanEnded();
    void ClearCounters();
    void ShowScanNag();

    CQVConsoleDlg* m_pWindow;
    bool m_bRunning = false;
    std::uint64_t m_nElements = 0;
    unsigned m_nThreatsFound = 0;
    QString m_strScanType;
    CDictionary m_packageCounts;
    bool m_bStopRequested = false;
    std::string m_strCurrentScanner;
    // Set when the page loads, cleared by the end of the scan: a second
    // end-of-scan event finds nothing left to end.
    bool m_bEndPending = false;
};
