#include "dom_bridge.h"

#include "browser_host.h"

#include "browser/html_dom.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <memory>

namespace kb::engine {
namespace {

// What one call's callback fills in; shared with the callback, which may run
// after the call gave up waiting.
struct Answer {
    bool done = false;
    QVariant value;
};

constexpr int kMaxPathDepth = 32;

}  // namespace

CDomBridge::CDomBridge(CBrowserHost* host, QWebEnginePage* page) : m_pHost(host), m_pPage(page) {}

std::optional<QJsonValue> CDomBridge::Call(const QString& op, std::initializer_list<QJsonValue> argList,
                                           win::HRESULT* failure)
{
    QJsonArray args;
    for (const QJsonValue& arg : argList)
        args.append(arg);
    auto fail = [failure](win::HRESULT hr) -> std::optional<QJsonValue> {
        if (failure != nullptr)
            *failure = hr;
        return std::nullopt;
    };
    if (m_pPage.isNull() || m_pHost == nullptr)
        return fail(win::E_FAIL);
    if (m_pHost->InEngineCallback())
        return fail(win::E_PENDING);
    QJsonObject request{{QStringLiteral("op"), op}, {QStringLiteral("args"), args}};
    // The request travels as JSON text inside a string literal: no page-
    // or caller-supplied text is ever parsed as script.
    QString json = QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact));
    QString source = QStringLiteral("(function(){var h=window[%1];return typeof h==='function'?h(JSON.parse(%2)):null;})()")
                         .arg(QString::fromUtf8(QJsonDocument(QJsonArray{m_pHost->domHelperName()})
                                                    .toJson(QJsonDocument::Compact))
                                  .mid(1)
                                  .chopped(1),
                              QString::fromUtf8(QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact))
                                  .mid(1)
                                  .chopped(1));

    auto answer = std::make_shared<Answer>();
    QEventLoop loop;
    QPointer<QEventLoop> loopGuard(&loop);
    m_pPage->runJavaScript(source, QWebEngineScript::MainWorld, [answer, loopGuard](const QVariant& value) {
        answer->done = true;
        answer->value = value;
        if (!loopGuard.isNull())
            loopGuard->quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_pPage.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    if (!answer->done) {
        timer.start(win::kDomCallTimeoutMs);
        m_pHost->BeginDomCall();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_pHost->EndDomCall();
    }
    if (!answer->done)
        return fail(m_pPage.isNull() ? win::E_FAIL : win::HRESULT_FROM_WIN32(win::ERROR_TIMEOUT));

    QJsonValue result = QJsonValue::fromVariant(answer->value);
    if (!result.isObject())
        return fail(win::E_FAIL);  // no helper in this document
    QJsonObject object = result.toObject();
    if (object.value(QStringLiteral("ok")).toBool())
        return object.value(QStringLiteral("v"));
    QString error = object.value(QStringLiteral("e")).toString();
    if (error == QLatin1String("stale"))
        return fail(win::E_HANDLE);
    if (error == QLatin1String("origin"))
        return fail(win::E_ACCESSDENIED);
    if (error == QLatin1String("notimpl"))
        return fail(win::E_NOTIMPL);
    return fail(win::E_FAIL);
}

void CDomBridge::RunDetached(const QString& source)
{
    if (!m_pPage.isNull())
        m_pPage->runJavaScript(source, QWebEngineScript::MainWorld);
}

QJsonArray CDomBridge::PathToJson(const std::vector<int>& path)
{
    QJsonArray array;
    for (int index : path)
        array.append(index);
    return array;
}

std::optional<std::vector<int>> CDomBridge::PathFromJson(const QJsonValue& value)
{
    if (!value.isArray() || value.toArray().size() > kMaxPathDepth)
        return std::nullopt;
    std::vector<int> path;
    for (const QJsonValue& index : value.toArray()) {
        double d = index.toDouble(-1);
        if (!index.isDouble() || d < 0 || d > 100000 || d != static_cast<int>(d))
            return std::nullopt;
        path.push_back(static_cast<int>(d));
    }
    return path;
}

std::optional<ElementRef> CDomBridge::RefFromJson(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QJsonArray array = value.toArray();
    if (array.size() != 2 || !array.at(0).isString() || !array.at(1).isDouble())
        return std::nullopt;
    ElementRef ref;
    ref.document = array.at(0).toString();
    double number = array.at(1).toDouble();
    if (ref.document.isEmpty() || ref.document.size() > 64 || number < 1 || number > 9.0e15)
        return std::nullopt;
    ref.number = static_cast<qint64>(number);
    return ref;
}

QJsonValue CDomBridge::RefToJson(const ElementRef& ref)
{
    return QJsonArray{ref.document, static_cast<double>(ref.number)};
}

}  // namespace kb::engine
