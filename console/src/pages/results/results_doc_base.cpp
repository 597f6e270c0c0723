#include "results_doc_base.h"

#include <QApplication>
#include <QCursor>
#include <QThread>
#include <QWidget>
#include <cstdio>

#include "win/ui/message_target.h"

CResultsDocBase::CResultsDocBase(QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy,
                                 std::string tabId, std::string tableId, std::string pageFile,
                                 IResultsService* service)
    : CHTMLConfigDocBase(ownerWidget, owner, proxy, std::move(tabId)),
      m_pOwnerWidget(ownerWidget),
      m_pOwner(owner),
      m_strTableId(std::move(tableId)),
      m_strPageFile(std::move(pageFile)),
      m_pService(service != nullptr ? service : &CBusResultsService::Instance())
{
}

IResultsPageHost* CResultsDocBase::PageHost() const
{
    if (m_pHost != nullptr)
        return m_pHost;
    if (auto* host = dynamic_cast<IResultsPageHost*>(m_pOwner))
        return host;
    return dynamic_cast<IResultsPageHost*>(m_pOwnerWidget);
}

void CResultsDocBase::LoadSettings()
{
    StartLoader([](CHTMLConfigDocBase& document, LoaderToken token) {
        static_cast<CResultsDocBase&>(document).RunLoader(token);
    });
}

bool CResultsDocBase::OnOwnerThread(const char* what) const
{
    const QObject* owner = m_pOwnerWidget != nullptr ? static_cast<const QObject*>(m_pOwnerWidget)
                                                     : (m_pOwner != nullptr ? m_pOwner->window() : nullptr);
    const QThread* expected = owner != nullptr ? owner->thread() : QCoreApplication::instance()->thread();
    if (QThread::currentThread() == expected)
        return true;
    std::fprintf(stderr, "qvconsole: %s: %s called off the window's thread, dropped\n", m_strPageFile.c_str(), what);
    return false;
}

bool CResultsDocBase::CallPage(const char* function, const QStringList& args)
{
    return CallJScript(QString::fromLatin1(function), nullptr, args);
}

std::vector<std::string> CResultsDocBase::TickedKeys()
{
    std::vector<std::string> keys;
    for (const QString& key : GetCheckedRows())
        if (!key.isEmpty())
            keys.push_back(key.toStdString());
    return keys;
}

void CResultsDocBase::ReloadOwnPage()
{
    if (IResultsPageHost* host = PageHost())
        host->ReloadPage(m_strPageFile);
}

CResultsDocBase::WaitCursor::WaitCursor()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
        QThread::currentThread() == QCoreApplication::instance()->thread()) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_bShown = true;
    }
}

CResultsDocBase::WaitCursor::~WaitCursor()
{
    if (m_bShown)
        QApplication::restoreOverrideCursor();
}
