#include "skin/colors.h"

namespace skin {

QColor ToQColor(COLORREF colour)
{
    if (colour == CLR_TRANSPARENT)
        return QColor();
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

COLORREF FromQColor(const QColor& colour)
{
    if (!colour.isValid() || colour.alpha() == 0)
        return CLR_TRANSPARENT;
    return RGB(colour.red(), colour.green(), colour.blue());
}

QString ColorText(COLORREF colour)
{
    return QString::number(colour, 16);
}

std::optional<COLORREF> ParseHexColor(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return static_cast<COLORREF>(value);
}

CSkinColorMap::CSkinColorMap()
{
    SetColor(QStringLiteral("transparent"), CLR_TRANSPARENT);
    SetColor(QStringLiteral("green"), RGB(0, 255, 0));
    SetColor(QStringLiteral("red"), RGB(255, 0, 0));
    SetColor(QStringLiteral("blue"), RGB(0, 0, 255));
}

void CSkinColorMap::SetColor(const QString& name, COLORREF colour)
{
    map_.insert(name, ColorText(colour));
}

void CSkinColorMap::SetEmpty(const QString& name)
{
    map_.insert(name, QString());
}

COLORREF CSkinColorMap::Value(const QString& name) const
{
    const auto found = map_.constFind(name);
    if (found == map_.constEnd() || found->isEmpty())
        return 0;
    return ParseHexColor(*found).value_or(0);
}

std::optional<COLORREF> CSkinColorMap::Resolve(const QString& text) const
{
    if (text.isEmpty())
        return std::nullopt;
    if (Has(text))
        return Value(text);
    return ParseHexColor(text);
}

}  // namespace skin
