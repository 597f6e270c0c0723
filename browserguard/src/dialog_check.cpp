#include "browserguard/dialog_check.h"

#include "browserguard/popup_rules.h"
#include "browserguard/url_rules.h"

namespace browserguard {

bool CheckDialogWindow(DialogHost& host, const std::string& className, const std::string& caption) {
  if (!IsJudgedDialog(className, caption)) return true;
  host.HideDialog();
  std::string address;
  if (host.FindOwnerBrowser()) {
    address = host.OwnerLocation();
    const size_t slashes = address.find("//");
    if (slashes != std::string::npos) address = address.substr(slashes + 2);
    const bool solicited = host.GetSolicited() != 0;
    host.ClearSolicited();
    // The service is asked only when the click does not settle it.
    if (solicited || KeepDialog(false, host.BlanketAllows(address), host.BlockingEnabled())) {
      host.ShowDialog();
      return true;
    }
  }
  const std::string report = DialogReportUrl(address);
  if (!report.empty()) host.ReportDropped(report);
  host.DestroyDialog();
  return false;
}

}  // namespace browserguard
