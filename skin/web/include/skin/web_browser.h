// CWebBrowser2: the hosted browser control under the names the suite's
// dialogs use (Navigate, GoBack, GetLocationURL, ...), on a QWebEngineView.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>

#include <QWebEngineView>

class QWebEnginePage;
class QWidget;

namespace skin {

class CWebBrowser2 : public QObject {
    Q_OBJECT
public:
    CWebBrowser2();
    ~CWebBrowser2() override;

    // Makes the browser view as a child of PARENT at RECT with control ID ID.
    bool Create(QWidget* parent, const QRect& rect, int id);
    QWebEngineView* View() const { return view_; }

    void Navigate(const QString& url);
    void Stop();
    void Refresh();
    void GoBack();
    void GoForward();
    void GoHome();
    void GoSearch();
    QWebEnginePage* GetDocument() const;
    QString GetLocationURL() const;
    QString GetLocationName() const;
    bool GetBusy() const { return busy_; }
    // A silent browser shows no script dialogs.
    void SetSilent(bool silent);
    bool GetSilent() const { return silent_; }
    // Whether page script may resize or move the window hosting the view.
    void SetResizable(bool resizable) { resizable_ = resizable; }
    bool GetResizable() const { return resizable_; }
    void SetVisible(bool visible);
    bool GetVisible() const;
    void SetHomePage(const QString& url) { home_ = url; }

    int GetLeft() const;
    int GetTop() const;
    int GetWidth() const;
    int GetHeight() const;
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);

private:
    QPointer<QWebEngineView> view_;
    bool busy_ = false;
    bool silent_ = false;
    bool resizable_ = true;
    QString home_ = QStringLiteral("about:blank");
};

}  // namespace skin
