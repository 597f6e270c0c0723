#include "skin/web_browser.h"

#include "skin/control_info.h"

#include <QWebEnginePage>
#include <QWebEngineView>

namespace skin {
namespace {

// A page that keeps script dialogs quiet while its browser is silent.
class SilentablePage : public QWebEnginePage {
public:
    SilentablePage(const bool* silent, QObject* parent) : QWebEnginePage(parent), silent_(silent) {}

protected:
    void javaScriptAlert(const QUrl& origin, const QString& msg) override
    {
        if (!*silent_)
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl& origin, const QString& msg) override
    {
        return *silent_ ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
    }
    bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& def, QString* result) override
    {
        return *silent_ ? false : QWebEnginePage::javaScriptPrompt(origin, msg, def, result);
    }

private:
    const bool* silent_;
};

}  // namespace

CWebBrowser2::CWebBrowser2() = default;

CWebBrowser2::~CWebBrowser2() = default;

bool CWebBrowser2::Create(QWidget* parent, const QRect& rect, int id)
{
    if (view_)
        return false;
    view_ = new QWebEngineView(parent);
    view_->setPage(new SilentablePage(&silent_, view_));
    view_->setGeometry(rect);
    SetControlId(view_, id);
    SetControlClass(view_, QStringLiteral("Browser"));
    connect(view_, &QWebEngineView::loadStarted, this, [this] { busy_ = true; });
    connect(view_, &QWebEngineView::loadFinished, this, [this](bool) { busy_ = false; });
    view_->show();
    return true;
}

void CWebBrowser2::Navigate(const QString& url)
{
    if (view_)
        view_->load(QUrl::fromUserInput(url));
}

void CWebBrowser2::Stop()
{
    if (view_)
        view_->stop();
}

void CWebBrowser2::Refresh()
{
    if (view_)
        view_->reload();
}

void CWebBrowser2::GoBack()
{
    if (view_)
        view_->back();
}

void CWebBrowser2::GoForward()
{
    if (view_)
        view_->forward();
}

void CWebBrowser2::GoHome()
{
    Navigate(home_);
}

void CWebBrowser2::GoSearch()
{
    // The suite's browsers have no search page.
}

QWebEnginePage* CWebBrowser2::GetDocument() const
{
    return view_ ? view_->page() : nullptr;
}

QString CWebBrowser2::GetLocationURL() const
{
    return view_ ? view_->url().toString() : QString();
}

QString CWebBrowser2::GetLocationName() const
{
    return view_ ? view_->title() : QString();
}

void CWebBrowser2::SetSilent(bool silent)
{
    silent_ = silent;
}

void CWebBrowser2::SetVisible(bool visible)
{
    if (view_)
        view_->setVisible(visible);
}

bool CWebBrowser2::GetVisible() const
{
    return view_ && view_->isVisible();
}

int CWebBrowser2::GetLeft() const { return view_ ? view_->x() : 0; }
int CWebBrowser2::GetTop() const { return view_ ? view_->y() : 0; }
int CWebBrowser2::GetWidth() const { return view_ ? view_->width() : 0; }
int CWebBrowser2::GetHeight() const { return view_ ? view_->height() : 0; }

void CWebBrowser2::SetLeft(int left)
{
    if (view_)
        view_->move(left, view_->y());
}

void CWebBrowser2::SetTop(int top)
{
    if (view_)
        view_->move(view_->x(), top);
}

void CWebBrowser2::SetWidth(int width)
{
    if (view_)
        view_->resize(width, view_->height());
}

void CWebBrowser2::SetHeight(int height)
{
    if (view_)
        view_->resize(view_->width(), height);
}

}  // namespace skin
