#include "sync_script_runner.h"

#include "html_log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QVariantMap>
#include <QWebEnginePage>

#include <memory>

CSyncCallGate& CSyncCallGate::Instance()
{
    static CSyncCallGate gate;
    return gate;
}

void CSyncCallGate::Leave()
{
    if (m_depth > 0 && --m_depth == 0)
        emit released();
}

namespace {

// Per page: how many timed-out calls have not been answered yet. Kept in a
// shared object so that late answers can still reach it while the page is
// being destroyed.
struct PageStall {
    int lateAnswers = 0;
};

class CPageStallHolder : public QObject {
public:
    explicit CPageStallHolder(QObject* page)
        : QObject(page), stall(std::make_shared<PageStall>())
    {
        setObjectName(QStringLiteral("kelmHtmlStall"));
    }
    std::shared_ptr<PageStall> stall;
};

std::shared_ptr<PageStall> StallOf(QWebEnginePage* page)
{
    auto* holder = page->findChild<CPageStallHolder*>(QStringLiteral("kelmHtmlStall"), Qt::FindDirectChildrenOnly);
    if (holder == nullptr)
        holder = new CPageStallHolder(page);
    return holder->stall;
}

HtmlCallStatus StatusFromName(const QString& name)
{
    if (name == QLatin1String("NoElement"))
        return HtmlCallStatus::NoElement;
    if (name == QLatin1String("WrongElement"))
        return HtmlCallStatus::WrongElement;
    if (name == QLatin1String("NoFunction"))
        return HtmlCallStatus::NoFunction;
    if (name == QLatin1String("BadInput"))
        return HtmlCallStatus::BadInput;
    return HtmlCallStatus::ScriptError;
}

struct Waiter {
    bool answered = false;
    bool gaveUp = false;  // the call timed out; a later answer only clears the stall
    QVariant value;
    QEventLoop* loop = nullptr;
};

}  // namespace

QString HtmlCallStatusName(HtmlCallStatus status)
{
    switch (status) {
    case HtmlCallStatus::Ok: return QStringLiteral("ok");
    case HtmlCallStatus::NoDocument: return QStringLiteral("no document");
    case HtmlCallStatus::DocumentChanged: return QStringLiteral("document changed");
    case HtmlCallStatus::NoElement: return QStringLiteral("no element");
    case HtmlCallStatus::WrongElement: return QStringLiteral("wrong element");
    case HtmlCallStatus::NoFunction: return QStringLiteral("no function");
    case HtmlCallStatus::ScriptError: return QStringLiteral("script error");
    case HtmlCallStatus::BadInput: return QStringLiteral("bad input");
    case HtmlCallStatus::TimedOut: return QStringLiteral("time-out");
    case HtmlCallStatus::Unresponsive: return QStringLiteral("page unresponsive");
    case HtmlCallStatus::WrongThread: return QStringLiteral("wrong thread");
    }
    return QStringLiteral("unknown status");
}

CHtmlCallResult RunScriptSynchronously(QWebEnginePage* page, const QString& source, unsigned worldId, int timeoutMs)
{
    if (page == nullptr)
        return {HtmlCallStatus::NoDocument, {}, QStringLiteral("no page")};
    if (QThread::currentThread() != page->thread())
        return {HtmlCallStatus::WrongThread, {}, QStringLiteral("page calls must come from the page's own thread")};

    const std::shared_ptr<PageStall> stall = StallOf(page);
    if (stall->lateAnswers > 0)
        return {HtmlCallStatus::Unresponsive, {},
                QStringLiteral("the page has not answered an earlier call that timed out")};

    auto waiter = std::make_shared<Waiter>();
    QPointer<QWebEnginePage> guard(page);
    // The callback may come after the wait gave up, or while the page is
    // being destroyed; it touches only the shared waiter and stall records.
    page->runJavaScript(source, worldId, [waiter, stall](const QVariant& value) {
        if (waiter->gaveUp) {
            // A late answer to a call that timed out: the page is alive again.
            if (stall->lateAnswers > 0)
                --stall->lateAnswers;
            return;
        }
        waiter->answered = true;
        waiter->value = value;
        if (waiter->loop != nullptr)
            waiter->loop->quit();
    });

    if (!waiter->answered) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(page, &QObject::destroyed, &loop, &QEventLoop::quit);
        waiter->loop = &loop;
        timer.start(timeoutMs);
        CSyncCallGate::Instance().Enter();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        CSyncCallGate::Instance().Leave();
        waiter->loop = nullptr;
    }

    if (!waiter->answered) {
        if (guard.isNull())
            return {HtmlCallStatus::NoDocument, {}, QStringLiteral("the page was destroyed during the call")};
        waiter->gaveUp = true;
        ++stall->lateAnswers;
        const QString message = QStringLiteral("no answer from %1 within %2 ms")
                                    .arg(page->url().toDisplayString())
                                    .arg(timeoutMs);
        qCWarning(lcHtml).noquote() << "page call timed out:" << message;
        return {HtmlCallStatus::TimedOut, {}, message};
    }
    if (guard.isNull())
        return {HtmlCallStatus::NoDocument, {}, QStringLiteral("the page was destroyed during the call")};

    const QVariantMap answer = waiter->value.toMap();
    if (!answer.contains(QStringLiteral("ok")))
        return {HtmlCallStatus::ScriptError, {}, QStringLiteral("the page gave no answer (a script error, or no document yet)")};
    if (answer.value(QStringLiteral("ok")).toBool())
        return {HtmlCallStatus::Ok, answer.value(QStringLiteral("value")), {}};
    return {StatusFromName(answer.value(QStringLiteral("status")).toString()), {},
            answer.value(QStringLiteral("message")).toString()};
}
