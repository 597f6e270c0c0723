// The control site of a hosted browser: where the browser asks its host how
// to behave, and where its events arrive.
//
// Every CBrowserControl gets one site when it is made, created by the
// CCustomOccManager installed on its nearest ancestor widget (or the process
// default). The host ties the site to its controller with SetHandler, may set
// an external dispatch of its own (otherwise the controller's OnGetExternal
// answers) and sets host flags. Each answer forwards to the handler and,
// without a handler, answers as an unhosted browser would (standard context
// menu, no help, every key to the page), except that a browser without a
// handler takes no drops and offers page script no external object. A site class of its own (derive and
// override, and create it from a manager of its own) can restrict a browser
// regardless of its handler.
#pragma once

#include <QKeyEvent>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>
#include <QVariantList>

#include <memory>

#include "servicelink/html/script_methods.h"

class QWidget;
class CBrowserControl;
class CBrowserHostController;
class CScriptDispatch;

// Host flags (SetHostFlags). The values are those the suite passes.
namespace HostFlags {
inline constexpr unsigned Dialog = 0x1;        // no text selection outside text inputs
inline constexpr unsigned NoBorder3D = 0x4;    // the browser has no border of its own either way
inline constexpr unsigned NoScrollBars = 0x8;  // the document shows no scroll bars
inline constexpr unsigned Theme = 0x40000;     // form controls in the desktop theme (always so)
}  // namespace HostFlags

// What a page's message box asks for (alert, confirm, prompt).
enum class PageMessageKind { Alert, Confirm, Prompt };

class CCustomControlSite {
public:
    explicit CCustomControlSite(CBrowserControl* control);
    virtual ~CCustomControlSite();
    CCustomControlSite(const CCustomControlSite&) = delete;
    CCustomControlSite& operator=(const CCustomControlSite&) = delete;

    // The site of a browser control; null for any other widget.
    static CCustomControlSite* GetControlSiteOf(QWidget* control);

    void SetHandler(CBrowserHostController* handler);
    CBrowserHostController* GetHandler() const;
    void SetExternalDispatch(CScriptDispatch* dispatch) { m_pExternal = dispatch; }
    void SetHostFlags(unsigned flags);
    unsigned GetHostFlags() const { return m_hostFlags; }
    CBrowserControl* GetControl() const { return m_pControl; }

    // Answers to the browser.
    virtual bool ShowHelp();                           // true: handled
    virtual bool ShowMessage(PageMessageKind kind, const QString& text, bool& accepted);  // true: handled
    virtual bool ShowContextMenu(const QPoint& pos);   // true: handled, no menu shown
    virtual unsigned GetHostInfo();                    // the host flags in force
    virtual void ShowUI(bool shown);                   // the browser took or lost the focus
    virtual void UpdateUI();                           // the page's selection changed
    virtual void EnableModeless(bool enable);          // around the page's message boxes
    virtual void DocWindowActivate(bool active);       // the browser was shown or hidden
    virtual void FrameWindowActivate(bool active);     // its top-level window (de)activated
    virtual void ResizeBorder(const QRect& rect);      // the browser was resized
    virtual bool TranslateAccelerator(QKeyEvent* event);  // true: the key is swallowed
    virtual QString GetOptionKeyPath();
    virtual bool AcceptsDrops();                        // the browser takes drops only when true
    virtual CScriptDispatch* GetExternal();
    virtual QUrl TranslateUrl(const QUrl& url);

    // Browser events.
    virtual void BeforeNavigate(const QUrl& url, bool& cancel);
    virtual void NavigateComplete(const QUrl& url);
    virtual void DocumentComplete(const QUrl& url);
    virtual void NavigateError(const QUrl& url, int errorCode, const QString& errorText, bool& cancel);

    // The page the browser is about to leave still has to be told (see
    // browser_host_controller.h); UnloadPage tells it.
    virtual bool HasPageToUnload();
    virtual void UnloadPage();

    // A call from page script on window.external, made by the document at
    // CALLER. Runs through the external dispatch with the shown page's model.
    ScriptCallStatus InvokeExternal(const QUrl& caller, const QString& method, const QVariantList& args);

private:
    CBrowserControl* m_pControl;
    CTargetRef<CBrowserHostController> m_handler;
    CScriptDispatch* m_pExternal = nullptr;
    unsigned m_hostFlags = 0;
};

// Makes the control sites of browser controls. Install one on a host widget
// (it then serves every browser control created inside it) or as the process
// default.
class CCustomOccManager {
public:
    virtual ~CCustomOccManager();
    virtual std::unique_ptr<CCustomControlSite> CreateSite(CBrowserControl* control);

    // HOST keeps a shared reference to MANAGER; null removes it.
    static void Install(QWidget* host, std::shared_ptr<CCustomOccManager> manager);
    static void InstallDefault(std::shared_ptr<CCustomOccManager> manager);
    // The manager for a control made inside WIDGET (the nearest installed one,
    // else the default, else a plain manager).
    static std::shared_ptr<CCustomOccManager> For(QWidget* widget);
};
