// The control panel's window until the full main window exists: a plain
// window with the main window's caption that takes the launch messages and
// the forwarded notifications, so start-up, the hand-off and the routing of
// notifications are real. It reports what it gets on standard error.
#pragma once

#include <QWidget>
#include <string>

#include "win/ui/message_target.h"

class CMsgRequest;

class CMainWindow : public QWidget, public win::CMessageTarget {
public:
    CMainWindow();
    ~CMainWindow() override;

    // Chooses the first page (asks the scanner's status) and shows itself.
    void Start();
    const std::string& CurrentPage() const { return m_page; }

private:
    void Navigate(const std::string& page);
    void OnScannerNotify(CMsgRequest& request);
    static void Report(const std::string& line);

    std::string m_page;
};
