#include "element_script.h"

#include "html_log.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

QString Json(const QJsonArray& values)
{
    return QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact));
}

QString ReadResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCCritical(lcHtml) << "missing built-in script" << path;
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

}  // namespace

QString LibraryScript(const QString& name)
{
    return ReadResource(QStringLiteral(":/kelm-html/") + name);
}

QString ElementOperationScript(const QString& operation, const QJsonObject& locator, const QJsonArray& args)
{
    static const QString helper = LibraryScript(QStringLiteral("element_ops.js"));
    return QStringLiteral("(%1).apply(null, %2)").arg(helper, Json(QJsonArray{operation, locator, args}));
}

bool IsScriptIdentifier(const QString& name)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_$][A-Za-z0-9_$]*$"));
    return identifier.match(name).hasMatch();
}

QString FunctionCallScript(const QString& name, const QStringList& args)
{
    // The name and the arguments travel as JSON values, never as script text.
    static const QString call = QStringLiteral(R"((function (name, args) {
    var f = window[name];
    if (typeof f !== "function")
        return { ok: false, status: "NoFunction", message: "the page has no script function '" + name + "'" };
    try {
        var r = f.apply(window, args);
        return { ok: true, value: (r === undefined || r === null) ? "" : String(r) };
    } catch (e) {
        return { ok: false, status: "ScriptError", message: "'" + name + "' threw: " + String(e) };
    }
}).apply(null, %1))");
    return call.arg(Json(QJsonArray{name, QJsonArray::fromStringList(args)}));
}

QString ExpressionScript(const QString& expression)
{
    return QStringLiteral(R"((function () {
    try {
        var v = (%1);
        return { ok: true, value: v === undefined ? null : v };
    } catch (e) {
        return { ok: false, status: "ScriptError", message: String(e) };
    }
})())")
        .arg(expression);
}

QString ExternalBootstrapScript()
{
    // qwebchannel.js ships inside the web engine's own resources.
    return ReadResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")) + QLatin1Char('\n') +
           LibraryScript(QStringLiteral("external_bootstrap.js"));
}
