// The help window (servicelink/html/help_window.h).
#include "servicelink/html/help_window.h"

#include "help_topics.h"
#include "html_log.h"
#include "servicelink/html/res_scheme.h"

#include "kelmui/resource_module.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

namespace {

// The help folder of the module, served under "<module file>/help". The
// source keeps the module open.
class HelpPages : public IResourceSource {
public:
    explicit HelpPages(std::shared_ptr<const kelmui::ResourceModule> module)
        : m_module(std::move(module)), m_folder(m_module->Root() + QStringLiteral("/help"))
    {
    }
    std::optional<QByteArray> ReadPage(const QString& pagePath) const override { return m_folder.ReadPage(pagePath); }

private:
    std::shared_ptr<const kelmui::ResourceModule> m_module;
    CDirResourceSource m_folder;
};

// Follows only navigations to pages of the help folder.
class HelpPage : public QWebEnginePage {
public:
    HelpPage(QString helpPath, QObject* parent)
        : QWebEnginePage(HostedPagesProfile(), parent), m_helpPath(std::move(helpPath))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override
    {
        const bool inside = url.scheme() == QLatin1String("res") &&
                            url.path().startsWith(m_helpPath + QLatin1Char('/'));
        if (!inside)
            qCInfo(lcHtml) << "help window: not following" << url.toDisplayString();
        return inside;
    }

private:
    QString m_helpPath;
};

// Everything of the one help window; touched on the GUI thread only.
struct HelpState {
    std::shared_ptr<const HelpPages> pages;
    QString helpPath;  // "<module file>/help", the res:// module path
    QHash<int, HelpTopic> contexts;
    QPointer<QWebEngineView> window;
};

HelpState& State()
{
    static HelpState state;
    return state;
}

bool OnGuiThread()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app != nullptr && QThread::currentThread() == app->thread();
}

// Opens the module and registers its help folder once per process.
bool EnsureHelpPages()
{
    HelpState& state = State();
    if (state.pages)
        return true;
    QString error;
    const std::shared_ptr<const kelmui::ResourceModule> module =
        kelmui::ResourceModule::Open(kelmui::DefaultModulePath(), &error);
    if (!module) {
        qCWarning(lcHtml) << "help window: no resource module:" << error;
        return false;
    }
    state.pages = std::make_shared<HelpPages>(module);
    state.helpPath = QFileInfo(module->FilePath()).absoluteFilePath() + QStringLiteral("/help");
    RegisterResourceModule(state.helpPath, state.pages);
    QStringList warnings;
    if (const std::optional<QByteArray> contexts = state.pages->ReadPage(QStringLiteral("contexts.txt")))
        state.contexts = ParseHelpContexts(*contexts, &warnings);
    for (const QString& warning : warnings)
        qCWarning(lcHtml) << "help window:" << warning;
    return true;
}

QWebEngineView* MakeWindow(QWidget* owner)
{
    auto* view = new QWebEngineView;
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setPage(new HelpPage(State().helpPath, view));
    view->setWindowTitle(QObject::tr("Help"));
    QObject::connect(view, &QWebEngineView::titleChanged, view, [view](const QString& title) {
        view->setWindowTitle(title.isEmpty() ? QObject::tr("Help") : title);
    });
    view->resize(760, 560);
    if (owner != nullptr) {
        QRect frame = view->frameGeometry();
        frame.moveCenter(owner->window()->frameGeometry().center());
        view->move(frame.topLeft());
    }
    // Web engine objects must go before the application does.
    static const bool routineAdded = (qAddPostRoutine(CloseHelpWindow), true);
    (void)routineAdded;
    return view;
}

}  // namespace

bool ShowHelp(QWidget* owner, const QString& topic, HelpWindowState state)
{
    if (!OnGuiThread())
        return false;
    const std::optional<HelpTopic> parsed = ParseHelpTopic(topic);
    if (!parsed) {
        qCWarning(lcHtml) << "help window: not a help topic:" << topic;
        return false;
    }
    if (!EnsureHelpPages())
        return false;
    HelpState& help = State();
    if (!help.pages->ReadPage(parsed->page)) {
        qCWarning(lcHtml) << "help window: no help page" << parsed->page;
        return false;
    }
    if (!help.window)
        help.window = MakeWindow(owner);
    QWebEngineView* window = help.window;
    window->load(MakeResUrl(help.helpPath, parsed->PageWithAnchor()));
    if (state == HelpWindowState::Maximized)
        window->showMaximized();
    else if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
    return true;
}

bool ShowHelpContext(QWidget* owner, int contextId, HelpWindowState state)
{
    if (!OnGuiThread() || !EnsureHelpPages())
        return false;
    const auto found = State().contexts.constFind(contextId);
    if (found == State().contexts.constEnd()) {
        qCInfo(lcHtml) << "help window: no topic for context" << contextId << "- showing the contents";
        return ShowHelp(owner, QString(), state);
    }
    return ShowHelp(owner, found->PageWithAnchor(), state);
}

QWidget* HelpWindow()
{
    return State().window.data();
}

void CloseHelpWindow()
{
    delete State().window.data();
}
