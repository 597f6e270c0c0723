#include "script_dialogs.h"

#include "browser/interception.h"
#include "browser/window_class.h"
#include "win/ui/messaging.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace kb::engine {
namespace {

constexpr const char* kMessageBoxCaption = "Message from webpage";
constexpr const char* kWebPageDialogSuffix = " -- Web Page Dialog";

QWebEngineProfile* g_pDialogProfile = nullptr;

QWidget* OwnerWidget(HWND hwnd)
{
    return hwnd != nullptr ? win::WidgetFromHwnd(hwnd) : nullptr;
}

// A button of the message box: a window of class "Button" that answers
// BM_CLICK (0x00F5) by clicking.
class CButtonWindow : public QPushButton, public CSubclassableWindow {
public:
    CButtonWindow(const QString& text, QWidget* parent) : QPushButton(text, parent), CSubclassableWindow(this)
    {
        RegisterWindow(this, QString::fromLatin1(kButtonClass));
    }
    ~CButtonWindow() override { SendDestroyMessages(); }

    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == 0x00F5) {
            click();
            result = 0;
            return true;
        }
        return CSubclassableWindow::OnOwnMessage(message, wParam, lParam, result);
    }
};

}  // namespace

CMessageBoxWindow::CMessageBoxWindow(QWidget* owner) : QDialog(owner), CSubclassableWindow(this)
{
    setWindowTitle(QString::fromLatin1(kMessageBoxCaption));
}

CMessageBoxWindow::~CMessageBoxWindow()
{
    SendDestroyMessages();
}

void CMessageBoxWindow::Setup(Kind kind, const QString& message, const QString& defaultValue)
{
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(message, this);
    label->setTextFormat(Qt::PlainText);  // page text, never markup
    label->setWordWrap(true);
    layout->addWidget(label);
    if (kind == Kind::Prompt) {
        auto* edit = new QLineEdit(defaultValue, this);
        edit->setObjectName(QStringLiteral("prompt"));
        layout->addWidget(edit);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new CButtonWindow(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(ok);
    if (kind != Kind::Alert) {
        auto* cancel = new CButtonWindow(QStringLiteral("Cancel"), this);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        buttons->addWidget(cancel);
    }
    layout->addLayout(buttons);
}

QString CMessageBoxWindow::promptText() const
{
    auto* edit = findChild<QLineEdit*>(QStringLiteral("prompt"));
    return edit != nullptr ? edit->text() : QString();
}

bool CMessageBoxWindow::OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    if (message == win::WM_COMMAND && win::LOWORD(wParam) == IDOK) {
        accept();
        return true;
    }
    if ((message == win::WM_COMMAND && win::LOWORD(wParam) == IDCANCEL) || message == win::WM_CLOSE) {
        reject();
        return true;
    }
    return CSubclassableWindow::OnOwnMessage(message, wParam, lParam, result);
}

CWebPageDialog::CWebPageDialog(QWidget* owner, QWebEngineProfile* profile)
    : QWidget(owner, Qt::Dialog), CSubclassableWindow(this), m_pView(new QWebEngineView(this))
{
    auto* page = new QWebEnginePage(profile, m_pView);
    m_pView->setPage(page);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    resize(480, 360);
    connect(page, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
        if (!title.isEmpty())
            setWindowTitle(title + QString::fromLatin1(kWebPageDialogSuffix));
    });
}

CWebPageDialog::~CWebPageDialog()
{
    SendDestroyMessages();
}

void CWebPageDialog::Load(const QUrl& url)
{
    m_pView->load(url);
}

void RegisterDialogClasses(QWebEngineProfile* profile)
{
    g_pDialogProfile = profile;
    RegisterWindowClass(QString::fromLatin1(kDialogClass), [](const CREATESTRUCT& create) -> QWidget* {
        auto* box = new CMessageBoxWindow(OwnerWidget(create.hwndParent));
        RegisterWindow(box, QString::fromLatin1(kDialogClass));
        return box;
    });
    RegisterWindowClass(QString::fromLatin1(kWebPageDialogClass), [](const CREATESTRUCT& create) -> QWidget* {
        if (g_pDialogProfile == nullptr)
            return nullptr;
        auto* dialog = new CWebPageDialog(OwnerWidget(create.hwndParent), g_pDialogProfile);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        RegisterWindow(dialog, QString::fromLatin1(kWebPageDialogClass));
        return dialog;
    });
}

bool RunMessageBox(HWND ownerHwnd, CMessageBoxWindow::Kind kind, const QString& message,
                   const QString& defaultValue, QString* text)
{
    std::wstring className = QString::fromLatin1(kDialogClass).toStdWString();
    std::wstring caption = QString::fromLatin1(kMessageBoxCaption).toStdWString();
    HWND hwnd = CreateWindowExW(0, className.c_str(), caption.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                                0, 0, 0, 0, ownerHwnd, nullptr, nullptr, nullptr);
    QPointer<CMessageBoxWindow> box(qobject_cast<CMessageBoxWindow*>(win::WidgetFromHwnd(hwnd)));
    if (box.isNull())
        return false;
    box->Setup(kind, message, defaultValue);
    bool accepted = box->exec() == QDialog::Accepted;
    if (box.isNull())
        return false;  // destroyed while it ran
    if (accepted && text != nullptr)
        *text = box->promptText();
    box->deleteLater();
    return accepted;
}

bool OpenWebPageDialog(HWND ownerHwnd, const QUrl& url)
{
    std::wstring className = QString::fromLatin1(kWebPageDialogClass).toStdWString();
    std::wstring caption = (url.toDisplayString() + QString::fromLatin1(kWebPageDialogSuffix)).toStdWString();
    HWND hwnd = CreateWindowExW(0, className.c_str(), caption.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 480,
                                360, ownerHwnd, nullptr, nullptr, nullptr);
    auto* dialog = qobject_cast<CWebPageDialog*>(win::WidgetFromHwnd(hwnd));
    if (dialog == nullptr)
        return false;
    dialog->Load(url);
    dialog->show();
    return true;
}

}  // namespace kb::engine
