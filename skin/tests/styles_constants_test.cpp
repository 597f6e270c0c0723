// Style names, constants and colours of the layout format.
#include "skin/colors.h"
#include "skin/skin_constants.h"
#include "skin/window_style.h"

#include <gtest/gtest.h>

namespace skin {
namespace {

TEST(WindowStyle, TableHoldsEveryNameWithItsValue)
{
    EXPECT_EQ(CWindowStyleLookup::Count(), 142);
    struct Named {
        const char* name;
        std::uint32_t value;
    };
    const Named samples[] = {
        {"WS_CHILD", 0x40000000},        {"WS_VISIBLE", 0x10000000},
        {"WS_OVERLAPPEDWINDOW", 0xCF0000}, {"WS_POPUPWINDOW", 0x80880000},
        {"WS_EX_PALETTEWINDOW", 0x188},  {"WS_EX_NOACTIVATE", 0x08000000},
        {"ES_NUMBER", 0x2000},           {"BS_AUTOCHECKBOX", 3},
        {"BS_VCENTER", 0xC00},           {"BS_RIGHTBUTTON", 0x20},
        {"SS_NOTIFY", 0x100},            {"SS_WORDELLIPSIS", 0xC000},
        {"DS_SHELLFONT", 0x48},          {"DS_CENTER", 0x800},
    };
    for (const Named& n : samples)
        EXPECT_EQ(CWindowStyleLookup::LookupStyle(QString::fromLatin1(n.name)), n.value) << n.name;
    EXPECT_FALSE(CWindowStyleLookup::LookupStyle(QStringLiteral("ws_child")));
}

struct StyleCase {
    const char* text;
    std::uint32_t value;
    int unknown;
};

TEST(WindowStyle, CreateFromString)
{
    const StyleCase cases[] = {
        {"WS_CHILD|WS_VISIBLE", 0x50000000, 0},
        {"|SS_NOTIFY", 0x100, 0},
        {"12", 12, 0},
        {"WS_CHILD | 3", 0x40000003, 0},
        {"WS_CHILD|WS_NOPE|x1", 0x40000000, 2},
        {"", 0, 0},
    };
    for (const StyleCase& c : cases) {
        QStringList unknown;
        EXPECT_EQ(CWindowStyle::CreateFromString(QString::fromLatin1(c.text), &unknown), c.value) << c.text;
        EXPECT_EQ(unknown.size(), c.unknown) << c.text;
    }
    EXPECT_EQ(static_cast<std::uint32_t>(CWindowStyle(QStringLiteral("BS_FLAT"))), 0x8000u);
}

struct ConstantCase {
    const char* text;
    std::int32_t value;
    int unknown;
};

TEST(Constants, GetConstant)
{
    EXPECT_EQ(ConstantCount(), 70);
    const ConstantCase cases[] = {
        {"0", 0, 0},           {"FW_BOLD", 700, 0},       {"FIXED_PITCH|FF_MODERN", 49, 0},
        {"12", 12, 0},         {"NO_SUCH_NAME", 0, 1},    {"TRUE", 1, 0},
        {"ILC_COLORDDB", 254, 0}, {"ILC_COLOR32|ILC_MASK", 0x21, 0}, {"CLIP_EMBEDDED", 128, 0},
        {"RUSSIAN_CHARSET", 204, 0},
    };
    for (const ConstantCase& c : cases) {
        std::int32_t value = -1;
        QStringList unknown;
        EXPECT_TRUE(GetConstant(QString::fromLatin1(c.text), value, &unknown));
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(unknown.size(), c.unknown) << c.text;
    }
}

TEST(Colors, PredefinedNamesHaveTheirUsualColours)
{
    const CSkinColorMap map;
    EXPECT_EQ(map.Value(QStringLiteral("transparent")), 0xFFFFFFFFu);
    EXPECT_EQ(map.Value(QStringLiteral("green")), 0x00FF00u);
    EXPECT_EQ(ToQColor(map.Value(QStringLiteral("red"))), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(map.Value(QStringLiteral("blue"))), QColor(0, 0, 255));
    EXPECT_EQ(map.Value(QStringLiteral("unknown")), 0u);
}

TEST(Colors, OneStoredFormReadsBackTheSameColour)
{
    CSkinColorMap map;
    map.SetColor(QStringLiteral("a"), 0x123456);
    EXPECT_EQ(map.Text(QStringLiteral("a")), QStringLiteral("123456"));
    EXPECT_EQ(map.Value(QStringLiteral("a")), 0x123456u);
    map.SetColor(QStringLiteral("b"), 255);
    EXPECT_EQ(map.Value(QStringLiteral("b")), 255u);
    map.SetEmpty(QStringLiteral("c"));
    EXPECT_EQ(map.Value(QStringLiteral("c")), 0u);
    EXPECT_EQ(map.Resolve(QStringLiteral("a")), 0x123456u);
    EXPECT_EQ(map.Resolve(QStringLiteral("FF0000")), 0xFF0000u);
    EXPECT_FALSE(map.Resolve(QStringLiteral("not a colour")));
    EXPECT_FALSE(ParseHexColor(QStringLiteral("123456789")));
}

}  // namespace
}  // namespace skin
