#include "browser_windows.h"

#include "browser_host.h"
#include "dom_objects.h"
#include "web_browser_object.h"

#include "browser/menu.h"
#include "browser/window_api.h"
#include "win/ui/messaging.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kb::engine {

// ---------------------------------------------------------------------------
CPageWindow::CPageWindow(QWidget* parent) : QWebEngineView(parent), CSubclassableWindow(this)
{
    RegisterWindow(this, QString::fromLatin1(kPageWindowClass));
}

CPageWindow::~CPageWindow()
{
    SendDestroyMessages();
}

win::HRESULT CPageWindow::QueryAccessibleObject(win::REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return win::E_POINTER;
    *ppv = nullptr;
    if (m_pBrowser == nullptr || m_pBrowser->closed())
        return win::E_FAIL;
    win::CComPtr<win::IAccessible> accessible;
    accessible.Attach(NewPageAccessible(m_pBrowser));
    return accessible->QueryInterface(riid, ppv);
}

void CPageWindow::resizeEvent(QResizeEvent* event)
{
    QWebEngineView::resizeEvent(event);
    SendSizeMessage();
}

// ---------------------------------------------------------------------------
CDocObjectView::CDocObjectView(QWidget* parent) : QWidget(parent), CSubclassableWindow(this)
{
    RegisterWindow(this, QString::fromLatin1(kDocObjectViewClass));
    m_pPage = new CPageWindow(this);
    m_pPage->setGeometry(0, 0, width(), height());
}

CDocObjectView::~CDocObjectView()
{
    SendDestroyMessages();
}

void CDocObjectView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_pPage->setGeometry(0, 0, width(), height());
    SendSizeMessage();
}

// ---------------------------------------------------------------------------
CTabWindow::CTabWindow(QWidget* parent) : QWidget(parent), CSubclassableWindow(this)
{
    RegisterWindow(this, QString::fromLatin1(kTabWindowClass));
    m_pView = new CDocObjectView(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
}

CTabWindow::~CTabWindow()
{
    SendDestroyMessages();
}

void CTabWindow::closeEvent(QCloseEvent* event)
{
    // The tab stays until its browser has torn down; that removes it.
    event->ignore();
    if (m_pBrowser != nullptr)
        m_pBrowser->Close();
}

void CTabWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    SendSizeMessage();
}

// ---------------------------------------------------------------------------
CFrameWindow::CFrameWindow(CBrowserHost* host) : QMainWindow(nullptr), CSubclassableWindow(this), m_pHost(host)
{
    RegisterWindow(this, QString::fromLatin1(kFrameWindowClass));
    setWindowTitle(QStringLiteral("kelmbrowse"));
    BuildToolBar();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_pTabBar = new QTabBar(central);
    m_pTabBar->setTabsClosable(true);
    m_pTabBar->setExpanding(false);
    m_pTabBar->setDocumentMode(true);
    m_pTabBar->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pStack = new QStackedWidget(central);
    layout->addWidget(m_pTabBar);
    layout->addWidget(m_pStack, 1);
    setCentralWidget(central);
    resize(1024, 720);

    connect(m_pTabBar, &QTabBar::currentChanged, this, &CFrameWindow::OnCurrentTabChanged);
    connect(m_pTabBar, &QTabBar::tabCloseRequested, this, [this](int index) {
        if (auto* tab = qobject_cast<CTabWindow*>(m_pStack->widget(index)))
            win::SendMessage(tab->GetSafeHwnd(), win::WM_CLOSE, 0, 0);
    });
    connect(m_pTabBar, &QTabBar::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowWindowMenu(m_pTabBar->mapToGlobal(pos)); });
    auto* menuShortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(menuShortcut, &QShortcut::activated, this,
            [this] { ShowWindowMenu(mapToGlobal(QPoint(0, 0))); });
}

CFrameWindow::~CFrameWindow()
{
    SendDestroyMessages();
}

void CFrameWindow::BuildToolBar()
{
    QToolBar* bar = addToolBar(QStringLiteral("Navigation"));
    bar->setMovable(false);
    QStyle* s = style();
    auto act = [this](QAction* action, auto fn) { connect(action, &QAction::triggered, this, fn); };
    act(bar->addAction(s->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Back")), [this] {
        if (CWebBrowser* b = CurrentBrowser())
            b->GoBack();
    });
    act(bar->addAction(s->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Forward")), [this] {
        if (CWebBrowser* b = CurrentBrowser())
            b->GoForward();
    });
    act(bar->addAction(s->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("Reload")), [this] {
        if (CWebBrowser* b = CurrentBrowser())
            b->Refresh();
    });
    act(bar->addAction(s->standardIcon(QStyle::SP_BrowserStop), QStringLiteral("Stop")), [this] {
        if (CWebBrowser* b = CurrentBrowser())
            b->Stop();
    });
    m_pAddress = new QLineEdit(bar);
    m_pAddress->setPlaceholderText(QStringLiteral("Address"));
    bar->addWidget(m_pAddress);
    connect(m_pAddress, &QLineEdit::returnPressed, this, &CFrameWindow::Navigate);
    act(bar->addAction(s->standardIcon(QStyle::SP_FileDialogNewFolder), QStringLiteral("New tab")), [this] {
        CWebBrowser* browser = m_pHost->CreateBrowser(BrowserPlacement::ForegroundTab, this);
        if (browser != nullptr)
            m_pAddress->setFocus();
    });
    m_pMenuButton = new QToolButton(bar);
    m_pMenuButton->setText(QStringLiteral("Window"));
    m_pMenuButton->setToolTip(QStringLiteral("Window menu (Alt+Space)"));
    bar->addWidget(m_pMenuButton);
    connect(m_pMenuButton, &QToolButton::clicked, this,
            [this] { ShowWindowMenu(m_pMenuButton->mapToGlobal(QPoint(0, m_pMenuButton->height()))); });
}

void CFrameWindow::Navigate()
{
    QString text = m_pAddress->text().trimmed();
    if (text.isEmpty())
        return;
    QUrl url = QUrl::fromUserInput(text);
    m_pAddress->setModified(false);
    CWebBrowser* browser = CurrentBrowser();
    if (browser == nullptr || !url.isValid())
        return;
    win::CComBSTR address(url.toString());
    browser->Navigate(address, nullptr, nullptr, nullptr, nullptr);
}

void CFrameWindow::AddTab(CTabWindow* tab, bool makeCurrent)
{
    m_pStack->addWidget(tab);
    int index = m_pTabBar->addTab(QStringLiteral("New tab"));
    if (makeCurrent || m_pTabBar->count() == 1)
        m_pTabBar->setCurrentIndex(index);
    else
        m_pStack->setCurrentIndex(m_pTabBar->currentIndex());
}

int CFrameWindow::IndexOf(CTabWindow* tab) const
{
    return m_pStack->indexOf(tab);
}

void CFrameWindow::RemoveTab(CTabWindow* tab)
{
    int index = IndexOf(tab);
    if (index < 0)
        return;
    m_pStack->removeWidget(tab);
    m_pTabBar->removeTab(index);
    tab->hide();
    tab->deleteLater();
    if (m_pTabBar->count() == 0) {
        hide();
        deleteLater();
    }
}

std::vector<CTabWindow*> CFrameWindow::tabs() const
{
    std::vector<CTabWindow*> result;
    for (int i = 0; i < m_pStack->count(); ++i) {
        if (auto* tab = qobject_cast<CTabWindow*>(m_pStack->widget(i)))
            result.push_back(tab);
    }
    return result;
}

CTabWindow* CFrameWindow::currentTab() const
{
    return qobject_cast<CTabWindow*>(m_pStack->currentWidget());
}

CWebBrowser* CFrameWindow::CurrentBrowser() const
{
    CTabWindow* tab = currentTab();
    return tab != nullptr && tab->browser() != nullptr && !tab->browser()->closing() ? tab->browser() : nullptr;
}

void CFrameWindow::OnCurrentTabChanged(int index)
{
    if (index >= 0 && index < m_pStack->count())
        m_pStack->setCurrentIndex(index);
    Refresh(currentTab());
}

void CFrameWindow::Refresh(CTabWindow* tab)
{
    int index = IndexOf(tab);
    if (tab == nullptr || index < 0)
        return;
    QString title = tab->page()->title();
    QString url = tab->page()->url().toString();
    m_pTabBar->setTabText(index, title.isEmpty() ? (url.isEmpty() ? QStringLiteral("New tab") : url)
                                                 : title.left(40));
    if (tab == currentTab()) {
        setWindowTitle(title.isEmpty() ? QStringLiteral("kelmbrowse") : title + QStringLiteral(" - kelmbrowse"));
        // Keep what the user is typing; otherwise show where the tab is.
        if (!m_pAddress->hasFocus() || !m_pAddress->isModified())
            m_pAddress->setText(url);
    }
}

void CFrameWindow::CloseAllTabs()
{
    m_bClosing = true;
    std::vector<CTabWindow*> all = tabs();
    if (all.empty()) {
        hide();
        deleteLater();
        return;
    }
    for (CTabWindow* tab : all) {
        if (tab->browser() != nullptr)
            tab->browser()->Close();
    }
}

void CFrameWindow::ShowWindowMenu(QPoint globalPos)
{
    ShowSystemMenu(GetSafeHwnd(), globalPos);
}

void CFrameWindow::OnDestroyRequest()
{
    hide();
    CloseAllTabs();
}

void CFrameWindow::closeEvent(QCloseEvent* event)
{
    if (m_bClosing || m_bClosingByMessage) {
        event->accept();
        if (!m_bClosing)
            CloseAllTabs();
        return;
    }
    // Any other close (the user's, a close() call) is WM_CLOSE through the
    // window procedure first, which a subclass may refuse.
    event->ignore();
    win::SendMessage(GetSafeHwnd(), win::WM_CLOSE, 0, 0);
}

bool CFrameWindow::OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == win::WM_CLOSE) {
        m_bClosingByMessage = true;
        close();
        m_bClosingByMessage = false;
        result = 0;
        return true;
    }
    return CSubclassableWindow::OnOwnMessage(message, wParam, lParam, result);
}

void CFrameWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    SendSizeMessage();
}

}  // namespace kb::engine
