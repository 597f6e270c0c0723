// The system optimizations page: the service's optimization rows, each
// restored or removed by one request per ticked row.
#pragma once

#include "results_doc_base.h"

class CHTMLConfigDocScanResultsOptimized final : public CResultsDocBase {
public:
    ~CHTMLConfigDocScanResultsOptimized() override { StopLoaders(); }
    CHTMLConfigDocScanResultsOptimized(QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy,
                                       IResultsService* service = nullptr);

    void OnCurrentPageMessage(win::WPARAM kind, win::LPARAM data) override;
    void RunLoader(LoaderToken token) override;

    void restore();
    void remove();

private:
    void SendPerTickedRow(const char* request);
};
