#include "skin/skin_constants.h"

#include <QHash>

namespace skin {
namespace {

struct Entry {
    const char* name;
    std::int32_t value;
};

// The values of the Windows constants of these names.
constexpr Entry kConstants[] = {
    {"TRUE", 1}, {"FALSE", 0},
    // font weights
    {"FW_DONTCARE", 0}, {"FW_THIN", 100}, {"FW_EXTRALIGHT", 200}, {"FW_ULTRALIGHT", 200},
    {"FW_LIGHT", 300}, {"FW_NORMAL", 400}, {"FW_REGULAR", 400}, {"FW_MEDIUM", 500},
    {"FW_SEMIBOLD", 600}, {"FW_DEMIBOLD", 600}, {"FW_BOLD", 700}, {"FW_EXTRABOLD", 800},
    {"FW_ULTRABOLD", 800}, {"FW_HEAVY", 900}, {"FW_BLACK", 900},
    // character sets
    {"ANSI_CHARSET", 0}, {"BALTIC_CHARSET", 186}, {"CHINESEBIG5_CHARSET", 136},
    {"DEFAULT_CHARSET", 1}, {"EASTEUROPE_CHARSET", 238}, {"GB2312_CHARSET", 134},
    {"GREEK_CHARSET", 161}, {"HANGUL_CHARSET", 129}, {"MAC_CHARSET", 77}, {"OEM_CHARSET", 255},
    {"RUSSIAN_CHARSET", 204}, {"SHIFTJIS_CHARSET", 128}, {"SYMBOL_CHARSET", 2},
    {"TURKISH_CHARSET", 162}, {"VIETNAMESE_CHARSET", 163},
    // output precision
    {"OUT_CHARACTER_PRECIS", 2}, {"OUT_DEFAULT_PRECIS", 0}, {"OUT_DEVICE_PRECIS", 5},
    {"OUT_OUTLINE_PRECIS", 8}, {"OUT_RASTER_PRECIS", 6}, {"OUT_STRING_PRECIS", 1},
    {"OUT_STROKE_PRECIS", 3}, {"OUT_TT_ONLY_PRECIS", 7}, {"OUT_TT_PRECIS", 4},
    // clip precision
    {"CLIP_DEFAULT_PRECIS", 0}, {"CLIP_CHARACTER_PRECIS", 1}, {"CLIP_STROKE_PRECIS", 2},
    {"CLIP_MASK", 0xF}, {"CLIP_EMBEDDED", 0x80}, {"CLIP_LH_ANGLES", 0x10},
    {"CLIP_TT_ALWAYS", 0x20},
    // quality
    {"ANTIALIASED_QUALITY", 4}, {"DEFAULT_QUALITY", 0}, {"DRAFT_QUALITY", 1},
    {"NONANTIALIASED_QUALITY", 3}, {"PROOF_QUALITY", 2},
    // pitch and family
    {"DEFAULT_PITCH", 0}, {"FIXED_PITCH", 1}, {"VARIABLE_PITCH", 2}, {"FF_DECORATIVE", 0x50},
    {"FF_DONTCARE", 0}, {"FF_MODERN", 0x30}, {"FF_ROMAN", 0x10}, {"FF_SCRIPT", 0x40},
    {"FF_SWISS", 0x20},
    // image list flags
    {"ILC_COLOR", 0}, {"ILC_COLOR4", 4}, {"ILC_COLOR8", 8}, {"ILC_COLOR16", 0x10},
    {"ILC_COLOR24", 0x18}, {"ILC_COLOR32", 0x20}, {"ILC_COLORDDB", 0xFE}, {"ILC_MASK", 1},
};

// sm_mapConstants: shared by every dialog, filled on first use.
const QHash<QString, std::int32_t>& Table()
{
    static const QHash<QString, std::int32_t> sm_mapConstants = [] {
        QHash<QString, std::int32_t> table;
        for (const Entry& e : kConstants)
            table.insert(QString::fromLatin1(e.name), e.value);
        return table;
    }();
    return sm_mapConstants;
}

}  // namespace

std::optional<std::int32_t> LookupConstant(const QString& name)
{
    const auto& table = Table();
    auto it = table.constFind(name);
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

int ConstantCount()
{
    return Table().size();
}

bool GetConstant(const QString& text, std::int32_t& value, QStringList* unknownParts)
{
    value = 0;
    if (text == QLatin1String("0"))
        return true;
    for (const QString& raw : text.split(QLatin1Char('|'))) {
        const QString part = raw.trimmed();
        if (part.isEmpty())
            continue;
        bool isNumber = false;
        const std::int32_t number = part.toInt(&isNumber, 10);
        if (isNumber) {
            value |= number;
            continue;
        }
        if (auto named = LookupConstant(part))
            value |= *named;
        else if (unknownParts)
            unknownParts->append(part);
    }
    return true;
}

}  // namespace skin
