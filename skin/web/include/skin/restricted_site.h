// The restricted host site for hosted browser views: the page gets no
// context menu, no scroll bars, and never sees the keys that would reload
// (F5), open (Ctrl+O), print (Ctrl+P), open a window (Ctrl+N) or go back
// (Backspace); every other key reaches it. Page message boxes are left to
// the browser.
//
// This is the only part of the skinned-UI library that links Qt WebEngine.
#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

#include <QWebEngineView>

class QKeyEvent;

namespace skin {

class CConstrainingCustomControlSite : public QObject {
    Q_OBJECT
public:
    // Restricts VIEW for as long as both live.
    explicit CConstrainingCustomControlSite(QWebEngineView* view);

    QWebEngineView* View() const { return view_; }

    // Whether the site keeps KEY from the page.
    static bool IsSwallowedKey(const QKeyEvent& key);
    // How many keys the site has kept from the page.
    int SwallowedKeyCount() const { return swallowed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QObject* object);

    QPointer<QWebEngineView> view_;
    int swallowed_ = 0;
};

// Makes a restricted site for every browser view handed to it.
class CConstrainingCustomControlSiteManager : public QObject {
    Q_OBJECT
public:
    CConstrainingCustomControlSite* CreateSite(QWebEngineView* view);
    const std::vector<CConstrainingCustomControlSite*>& Sites() const { return sites_; }

private:
    std::vector<CConstrainingCustomControlSite*> sites_;
};

class CConstrainingCustomControlSiteManagerCreator {
public:
    static std::unique_ptr<CConstrainingCustomControlSiteManager> CreateInstance();
};

}  // namespace skin
