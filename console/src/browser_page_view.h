// CBrowserPageView: the page area on the web engine. A CBrowserControl that
// the window ties to itself as its host controller (CQVConsoleDlg::
// CreateTemplateControl), so the browser's before-navigate, document-complete
// and navigate-error reach the window through the control site; this view
// only starts and stops navigations.
#pragma once

#include <QPointer>
#include <QString>
#include <string>

#include "qvconsole_dlg.h"

class CBrowserControl;

class CBrowserPageView : public IPageView {
public:
    QWidget* CreateWidget(QWidget* parent) override;
    void Navigate(const std::string& url) override;
    void Stop() override;

    CBrowserControl* GetBrowser() const { return m_pBrowser.data(); }

private:
    QPointer<CBrowserControl> m_pBrowser;
};

// Serves the pages of the UI resource module at MODULEPATH under the res://
// path URLPATH, the path the program forms its page URLs with. Needs the
// QApplication and RegisterResScheme() called before it. False when the
// module cannot be opened (pages then fail to load and are reported as
// navigate errors).
bool RegisterUiPages(const QString& urlPath, const QString& modulePath);
