// Window style names of the layout format ("WS_CHILD|WS_VISIBLE|SS_NOTIFY")
// and their numbers. Every name has the value of the Windows constant of the
// same name, so layouts written for the suite keep their meaning.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace skin {

// Window styles.
inline constexpr std::uint32_t WS_OVERLAPPED = 0x00000000;
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_MINIMIZE = 0x20000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr std::uint32_t WS_MAXIMIZE = 0x01000000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
inline constexpr std::uint32_t WS_DLGFRAME = 0x00400000;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000;
inline constexpr std::uint32_t WS_HSCROLL = 0x00100000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_GROUP = 0x00020000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;

// Extended styles the library acts on.
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
inline constexpr std::uint32_t WS_EX_TRANSPARENT = 0x00000020;
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr std::uint32_t WS_EX_STATICEDGE = 0x00020000;
inline constexpr std::uint32_t WS_EX_LAYOUTRTL = 0x00400000;

// Button styles.
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
inline constexpr std::uint32_t BS_CHECKBOX = 0x2;
inline constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3;
inline constexpr std::uint32_t BS_RADIOBUTTON = 0x4;
inline constexpr std::uint32_t BS_3STATE = 0x5;
inline constexpr std::uint32_t BS_AUTO3STATE = 0x6;
inline constexpr std::uint32_t BS_GROUPBOX = 0x7;
inline constexpr std::uint32_t BS_AUTORADIOBUTTON = 0x9;
inline constexpr std::uint32_t BS_OWNERDRAW = 0xB;
inline constexpr std::uint32_t BS_TYPEMASK = 0xF;
inline constexpr std::uint32_t BS_FLAT = 0x8000;

// Static styles.
inline constexpr std::uint32_t SS_LEFT = 0x0;
inline constexpr std::uint32_t SS_CENTER = 0x1;
inline constexpr std::uint32_t SS_RIGHT = 0x2;
inline constexpr std::uint32_t SS_ICON = 0x3;
inline constexpr std::uint32_t SS_BLACKRECT = 0x4;
inline constexpr std::uint32_t SS_GRAYRECT = 0x5;
inline constexpr std::uint32_t SS_WHITERECT = 0x6;
inline constexpr std::uint32_t SS_BLACKFRAME = 0x7;
inline constexpr std::uint32_t SS_GRAYFRAME = 0x8;
inline constexpr std::uint32_t SS_WHITEFRAME = 0x9;
inline constexpr std::uint32_t SS_SIMPLE = 0xB;
inline constexpr std::uint32_t SS_LEFTNOWORDWRAP = 0xC;
inline constexpr std::uint32_t SS_BITMAP = 0xE;
inline constexpr std::uint32_t SS_ENHMETAFILE = 0xF;
inline constexpr std::uint32_t SS_ETCHEDHORZ = 0x10;
inline constexpr std::uint32_t SS_ETCHEDVERT = 0x11;
inline constexpr std::uint32_t SS_ETCHEDFRAME = 0x12;
inline constexpr std::uint32_t SS_TYPEMASK = 0x1F;
inline constexpr std::uint32_t SS_REALSIZECONTROL = 0x40;
inline constexpr std::uint32_t SS_NOPREFIX = 0x80;
inline constexpr std::uint32_t SS_NOTIFY = 0x100;
inline constexpr std::uint32_t SS_CENTERIMAGE = 0x200;
inline constexpr std::uint32_t SS_SUNKEN = 0x1000;
inline constexpr std::uint32_t SS_ENDELLIPSIS = 0x4000;
inline constexpr std::uint32_t SS_PATHELLIPSIS = 0x8000;
inline constexpr std::uint32_t SS_WORDELLIPSIS = 0xC000;
inline constexpr std::uint32_t SS_ELLIPSISMASK = 0xC000;

// Edit styles.
inline constexpr std::uint32_t ES_CENTER = 0x1;
inline constexpr std::uint32_t ES_RIGHT = 0x2;
inline constexpr std::uint32_t ES_MULTILINE = 0x4;
inline constexpr std::uint32_t ES_PASSWORD = 0x20;
inline constexpr std::uint32_t ES_READONLY = 0x800;
inline constexpr std::uint32_t ES_NUMBER = 0x2000;

// The name table: 142 window, extended, edit, button, static and dialog
// style names.
class CWindowStyleLookup {
public:
    // The number of NAME (case-sensitive), or nothing when it is not a style
    // name.
    static std::optional<std::uint32_t> LookupStyle(const QString& name);
    static int Count();
};

// A style value parsed from "NAME|NAME|123": each part is a style name or a
// decimal number, all OR-ed. A part that is neither counts 0; the parser can
// report such parts so a layout author learns of the typo.
class CWindowStyle {
public:
    CWindowStyle() = default;
    explicit CWindowStyle(const QString& text) : value_(CreateFromString(text)) {}
    operator std::uint32_t() const { return value_; }

    static std::uint32_t CreateFromString(const QString& text, QStringList* unknownParts = nullptr);

private:
    std::uint32_t value_ = 0;
};

}  // namespace skin
