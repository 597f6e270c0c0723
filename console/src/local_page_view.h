// CLocalPageView: the page area without a web engine. It shows the page's
// HTML from the UI resource module in a rich-text view and reports each
// navigation as begun and complete on the next turn of the event loop, as a
// browser would, so the window's page switching runs unchanged.
#pragma once

#include <QPointer>
#include <QString>
#include <memory>

#include "qvconsole_dlg.h"

class QTextBrowser;
namespace kelmui {
class ResourceModule;
}

class CLocalPageView : public IPageView {
public:
    explicit CLocalPageView(const QString& modulePath);
    ~CLocalPageView() override;

    QWidget* CreateWidget(QWidget* parent) override;
    void Navigate(const std::string& url) override;
    void Stop() override;

private:
    std::shared_ptr<const kelmui::ResourceModule> m_module;
    QPointer<QTextBrowser> m_pView;
    unsigned m_nGeneration = 0;  // a newer navigation drops older reports
};
