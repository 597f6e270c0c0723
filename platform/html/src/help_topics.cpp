#include "help_topics.h"

#include <QRegularExpression>

namespace {

const QRegularExpression& TopicPattern()
{
    // Anchored as a whole: "$" alone would let a final line feed through.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral(R"(([A-Za-z0-9_-]{1,64})(?:\.html)?(?:#([A-Za-z0-9_-]{1,64}))?)")));
    return pattern;
}

}  // namespace

std::optional<HelpTopic> ParseHelpTopic(const QString& topic)
{
    if (topic.isEmpty())
        return HelpTopic{QStringLiteral("index.html"), {}};
    const QRegularExpressionMatch match = TopicPattern().match(topic);
    if (!match.hasMatch())
        return std::nullopt;
    return HelpTopic{match.captured(1) + QStringLiteral(".html"), match.captured(2)};
}

QHash<int, HelpTopic> ParseHelpContexts(const QByteArray& text, QStringList* warnings)
{
    QHash<int, HelpTopic> contexts;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        auto warn = [&](const QString& what) {
            if (warnings != nullptr)
                warnings->append(QStringLiteral("contexts.txt:%1: %2").arg(i + 1).arg(what));
        };
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            warn(QStringLiteral("not NUMBER = TOPIC"));
            continue;
        }
        bool isNumber = false;
        const int number = line.left(equals).trimmed().toInt(&isNumber, 10);
        if (!isNumber || number < 0) {
            warn(QStringLiteral("not a context number"));
            continue;
        }
        const QString topicText = line.mid(equals + 1).trimmed();
        const std::optional<HelpTopic> topic = topicText.isEmpty() ? std::nullopt : ParseHelpTopic(topicText);
        if (!topic) {
            warn(QStringLiteral("not a help topic: ") + topicText);
            continue;
        }
        if (contexts.contains(number))
            warn(QStringLiteral("context %1 listed again; the later line counts").arg(number));
        contexts.insert(number, *topic);
    }
    return contexts;
}
