#include "kelmui/message_table.h"

namespace kelmui {
namespace {

QString Unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out.append(c);
            continue;
        }
        const QChar next = text[++i];
        if (next == QLatin1Char('n'))
            out.append(QLatin1Char('\n'));
        else if (next == QLatin1Char('t'))
            out.append(QLatin1Char('\t'));
        else if (next == QLatin1Char('\\'))
            out.append(QLatin1Char('\\'));
        else {
            out.append(c);
            out.append(next);
        }
    }
    return out;
}

bool IsKey(QStringView key)
{
    if (key.isEmpty())
        return false;
    for (QChar c : key) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') ||
              c == QLatin1Char('-')))
            return false;
    }
    return true;
}

}  // namespace

MessageTable MessageTable::Parse(const QByteArray& bytes, const QString& sourceName,
                                 QStringList* warnings)
{
    MessageTable table;
    const QString text = QString::fromUtf8(bytes);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = line.indexOf(QLatin1Char('='));
        const QString key = equals < 0 ? QString() : line.left(equals).trimmed();
        if (!IsKey(key)) {
            if (warnings)
                warnings->append(QStringLiteral("%1:%2: not a KEY = text line").arg(sourceName).arg(i + 1));
            continue;
        }
        if (table.texts_.contains(key) && warnings)
            warnings->append(QStringLiteral("%1:%2: %3 defined again; the later text is used")
                                 .arg(sourceName).arg(i + 1).arg(key));
        table.texts_.insert(key, Unescape(QStringView(line).mid(equals + 1).trimmed()));
    }
    return table;
}

std::optional<MessageTable> MessageTable::Load(const ResourceModule& module, const QString& name,
                                               QStringList* warnings)
{
    const QString path = module.Find(ResourceType::MessageTable, name);
    const auto bytes = module.Read(ResourceType::MessageTable, name);
    if (!bytes)
        return std::nullopt;
    return Parse(*bytes, module.DisplayName(path), warnings);
}

QString MessageTable::Format(const QString& key, const std::array<QString, 6>& parameters) const
{
    const QString text = Text(key);
    QString out;
    out.reserve(text.size());
    // One pass, so a parameter that itself contains "%2" is not expanded again.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('%') && i + 1 < text.size()) {
            const int digit = text[i + 1].digitValue();
            if (digit >= 1 && digit <= 6) {
                out.append(parameters[digit - 1]);
                ++i;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

}  // namespace kelmui
