// Skin colours. A colour is a colour reference: red in the low byte, green
// in the second, blue in the third (0x00BBGGRR); all bits set (0xFFFFFFFF)
// means "transparent" to the controls that use it.
//
// The colour map keeps every value in one canonical text form, lower-case
// hexadecimal digits of the colour reference ("ff8000"), whatever form the
// layout wrote it in, so each value reads back as exactly the colour given.
#pragma once

#include <QColor>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace skin {

using COLORREF = std::uint32_t;

inline constexpr COLORREF CLR_TRANSPARENT = 0xFFFFFFFF;

constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// The drawing colour of a colour reference; transparent gives an invalid
// QColor (nothing is painted).
QColor ToQColor(COLORREF colour);
COLORREF FromQColor(const QColor& colour);

// "ff8000" for 0xFF8000.
QString ColorText(COLORREF colour);

// Hexadecimal digits (1 to 8, no prefix) as a colour reference, or nothing.
std::optional<COLORREF> ParseHexColor(const QString& text);

// m_mapSkinColors: colour name -> canonical colour text.
class CSkinColorMap {
public:
    // The four predefined entries: "transparent", "green", "red" and "blue",
    // each with the colour its name says.
    CSkinColorMap();

    void SetColor(const QString& name, COLORREF colour);
    // An empty value (an empty COLORS element) reads as colour 0.
    void SetEmpty(const QString& name);
    bool Has(const QString& name) const { return map_.contains(name); }
    QString Text(const QString& name) const { return map_.value(name); }
    // The colour of NAME; an unknown name or an empty value gives 0.
    COLORREF Value(const QString& name) const;
    QStringList Names() const { return map_.keys(); }

    // TEXT as a colour: first as a name in this map, then as hexadecimal
    // digits; "transparent" is the transparent colour unless redefined.
    std::optional<COLORREF> Resolve(const QString& text) const;

private:
    QMap<QString, QString> map_;
};

}  // namespace skin
