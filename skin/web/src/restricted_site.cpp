#include "skin/restricted_site.h"

#include <QChildEvent>
#include <algorithm>
#include <QKeyEvent>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace skin {

CConstrainingCustomControlSite::CConstrainingCustomControlSite(QWebEngineView* view)
    : QObject(view), view_(view)
{
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->page()->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    // Keys reach the page through the view's focus proxy, a child made when
    // the page is first shown: watch the view and every child it gets.
    Watch(view);
}

void CConstrainingCustomControlSite::Watch(QObject* object)
{
    object->installEventFilter(this);
    for (QObject* child : object->children())
        Watch(child);
}

bool CConstrainingCustomControlSite::IsSwallowedKey(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers mods = key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    if (mods == Qt::NoModifier && (key.key() == Qt::Key_F5 || key.key() == Qt::Key_Backspace))
        return true;
    if (mods == Qt::ControlModifier &&
        (key.key() == Qt::Key_O || key.key() == Qt::Key_P || key.key() == Qt::Key_N))
        return true;
    return false;
}

bool CConstrainingCustomControlSite::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        Watch(static_cast<QChildEvent*>(event)->child());
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        if (IsSwallowedKey(*static_cast<QKeyEvent*>(event))) {
            if (event->type() == QEvent::KeyPress)
                ++swallowed_;
            event->accept();
            return true;
        }
        break;
    case QEvent::ContextMenu:
        // Answered as handled: no menu.
        event->accept();
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

CConstrainingCustomControlSite* CConstrainingCustomControlSiteManager::CreateSite(QWebEngineView* view)
{
    auto* site = new CConstrainingCustomControlSite(view);
    sites_.push_back(site);
    connect(site, &QObject::destroyed, this, [this, site] {
        sites_.erase(std::remove(sites_.begin(), sites_.end(), site), sites_.end());
    });
    return site;
}

std::unique_ptr<CConstrainingCustomControlSiteManager> CConstrainingCustomControlSiteManagerCreator::CreateInstance()
{
    return std::make_unique<CConstrainingCustomControlSiteManager>();
}

}  // namespace skin
