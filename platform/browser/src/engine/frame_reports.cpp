#include "frame_reports.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kb::engine {
namespace {

constexpr int kMaxDepth = 32;
constexpr int kMaxIndex = 1000;
constexpr int kMaxText = 8192;
constexpr int kMaxMessage = 3 * kMaxText;

}  // namespace

QString FrameReportScript(const QString& nonce)
{
    // The frame's position: its index among its parent's frames, up to the
    // top. Cross-origin parents allow these reads.
    static const char* kScript = R"JS((function () {
  'use strict';
  var prefix = '%1';
  var log = console.log.bind(console);
  function path() {
    var p = [];
    var w = window;
    for (var depth = 0; w !== w.parent && depth < 32; ++depth) {
      var parent = w.parent, index = -1;
      for (var i = 0; i < parent.length; ++i) {
        if (parent[i] === w) { index = i; break; }
      }
      if (index < 0) return null;
      p.unshift(index);
      w = parent;
    }
    return p;
  }
  function report(kind) {
    var p = path();
    if (p === null) return;
    var name = '';
    try { name = String(window.name); } catch (e) {}
    log(prefix + JSON.stringify({k: kind, p: p, u: String(location.href), n: name}));
  }
  report('created');
  window.addEventListener('load', function () { report('loaded'); }, {once: true});
})();)JS";
    return QString::fromUtf8(kScript).arg(nonce);
}

std::optional<FrameReport> ParseFrameReport(const QString& message, const QString& nonce)
{
    if (nonce.isEmpty() || !message.startsWith(nonce) || message.size() > kMaxMessage)
        return std::nullopt;
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(message.mid(nonce.size()).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QJsonObject object = document.object();
    FrameReport report;
    QString kind = object.value(QStringLiteral("k")).toString();
    if (kind == QLatin1String("created"))
        report.kind = FrameReport::Kind::Created;
    else if (kind == QLatin1String("loaded"))
        report.kind = FrameReport::Kind::Loaded;
    else
        return std::nullopt;
    QJsonValue path = object.value(QStringLiteral("p"));
    if (!path.isArray() || path.toArray().size() > kMaxDepth)
        return std::nullopt;
    for (const QJsonValue& index : path.toArray()) {
        if (!index.isDouble())
            return std::nullopt;
        double value = index.toDouble();
        if (value < 0 || value > kMaxIndex || value != static_cast<int>(value))
            return std::nullopt;
        report.path.push_back(static_cast<int>(value));
    }
    QJsonValue url = object.value(QStringLiteral("u"));
    QJsonValue name = object.value(QStringLiteral("n"));
    if (!url.isString() || !name.isString())
        return std::nullopt;
    report.url = url.toString();
    report.name = name.toString();
    if (report.url.size() > kMaxText || report.name.size() > kMaxText)
        return std::nullopt;
    return report;
}

}  // namespace kb::engine
