// The widgets of a browser window, each a window with a class name:
//
//   CFrameWindow      "IEFrame": tool bar (back, forward, reload, stop,
//                     address, window menu), tab strip, the tabs
//   CTabWindow        "TabWindowClass": one tab, holding
//   CDocObjectView    "Shell DocObject View": the page area, holding
//   CPageWindow       "Internet Explorer_Server": the web view
//
// Each runs its messages through its window procedure chain
// (window_subclass.h). Closing (the window's close button, WM_CLOSE through
// the chain, DestroyWindow) asks the browsers to close; a frame goes away
// when its last tab has.
#pragma once

#include "browser/window_subclass.h"

#include <QMainWindow>
#include <QPointer>
#include <QWebEngineView>
#include <QWidget>

#include <vector>

class QLineEdit;
class QStackedWidget;
class QTabBar;
class QToolButton;

namespace kb::engine {

class CBrowserHost;
class CTabWindow;
class CWebBrowser;

class CPageWindow : public QWebEngineView, public CSubclassableWindow {
    Q_OBJECT
public:
    explicit CPageWindow(QWidget* parent);
    ~CPageWindow() override;

    void SetBrowser(CWebBrowser* browser) { m_pBrowser = browser; }
    win::HRESULT QueryAccessibleObject(win::REFIID riid, void** ppv) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CWebBrowser* m_pBrowser = nullptr;  // outlives the window's use of it (the tab closes first)
};

class CDocObjectView : public QWidget, public CSubclassableWindow {
    Q_OBJECT
public:
    explicit CDocObjectView(QWidget* parent);
    ~CDocObjectView() override;

    CPageWindow* page() const { return m_pPage; }

protected:
    // The page fills the view at 0,0 after every resize, as its host
    // window does on Windows; a subclass of the page may then move it.
    void resizeEvent(QResizeEvent* event) override;

private:
    CPageWindow* m_pPage;
};

class CTabWindow : public QWidget, public CSubclassableWindow {
    Q_OBJECT
public:
    explicit CTabWindow(QWidget* parent = nullptr);
    ~CTabWindow() override;

    CPageWindow* page() const { return m_pView->page(); }
    CDocObjectView* view() const { return m_pView; }
    CWebBrowser* browser() const { return m_pBrowser; }
    void SetBrowser(CWebBrowser* browser) { m_pBrowser = browser; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CDocObjectView* m_pView;
    CWebBrowser* m_pBrowser = nullptr;
};

class CFrameWindow : public QMainWindow, public CSubclassableWindow {
    Q_OBJECT
public:
    explicit CFrameWindow(CBrowserHost* host);
    ~CFrameWindow() override;

    void AddTab(CTabWindow* tab, bool makeCurrent);
    // A tab's browser has closed: drop the tab; the window goes with its last tab.
    void RemoveTab(CTabWindow* tab);
    std::vector<CTabWindow*> tabs() const;
    CTabWindow* currentTab() const;

    // Asks every browser of the window to close.
    void CloseAllTabs();
    void ShowWindowMenu(QPoint globalPos);
    // Updates the address bar, title and buttons from the current tab.
    void Refresh(CTabWindow* tab);

    void OnDestroyRequest() override;
    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildToolBar();
    void OnCurrentTabChanged(int index);
    void Navigate();
    int IndexOf(CTabWindow* tab) const;
    CWebBrowser* CurrentBrowser() const;

    CBrowserHost* m_pHost;
    QTabBar* m_pTabBar = nullptr;
    QStackedWidget* m_pStack = nullptr;
    QLineEdit* m_pAddress = nullptr;
    QToolButton* m_pMenuButton = nullptr;
    bool m_bClosingByMessage = false;
    bool m_bClosing = false;
};

}  // namespace kb::engine
