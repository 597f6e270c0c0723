// The judgement of a new HTML dialog window, made right after the window was
// created and before its creator gets it: a web page dialog that the user did
// not ask for, on a site without an allow blanket, is destroyed and reported.
#pragma once

#include <string>

namespace browserguard {

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  virtual void HideDialog() = 0;
  virtual void ShowDialog() = 0;
  // Finds the page browser under the owner's top-level window; false when none.
  virtual bool FindOwnerBrowser() = 0;
  virtual std::string OwnerLocation() = 0;
  virtual int GetSolicited() = 0;
  virtual void ClearSolicited() = 0;
  virtual bool BlanketAllows(const std::string& address) = 0;
  // "enable_blocking"; a failed read is false (nothing is blocked then).
  virtual bool BlockingEnabled() = 0;
  // Notify "korva.justice.popup.set_state" for the dialog form.
  virtual void ReportDropped(const std::string& url) = 0;
  // Destroys the dialog and gives the owner back its input and focus.
  virtual void DestroyDialog() = 0;
};

// True to keep the window (the creator gets it), false when it was dropped.
bool CheckDialogWindow(DialogHost& host, const std::string& className, const std::string& caption);

}  // namespace browserguard
