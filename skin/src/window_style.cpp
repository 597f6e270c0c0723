#include "skin/window_style.h"

#include <QHash>

namespace skin {
namespace {

struct Entry {
    const char* name;
    std::uint32_t value;
};

// The values of the Windows constants of these names.
constexpr Entry kStyles[] = {
    // window styles
    {"WS_OVERLAPPED", 0x00000000}, {"WS_POPUP", 0x80000000}, {"WS_CHILD", 0x40000000},
    {"WS_MINIMIZE", 0x20000000}, {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000}, {"WS_CLIPCHILDREN", 0x02000000}, {"WS_MAXIMIZE", 0x01000000},
    {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", 0x00800000}, {"WS_DLGFRAME", 0x00400000},
    {"WS_VSCROLL", 0x00200000}, {"WS_HSCROLL", 0x00100000}, {"WS_SYSMENU", 0x00080000},
    {"WS_THICKFRAME", 0x00040000}, {"WS_GROUP", 0x00020000}, {"WS_TABSTOP", 0x00010000},
    {"WS_MINIMIZEBOX", 0x00020000}, {"WS_MAXIMIZEBOX", 0x00010000}, {"WS_TILED", 0x00000000},
    {"WS_ICONIC", 0x20000000}, {"WS_SIZEBOX", 0x00040000}, {"WS_TILEDWINDOW", 0x00CF0000},
    {"WS_OVERLAPPEDWINDOW", 0x00CF0000}, {"WS_POPUPWINDOW", 0x80880000},
    {"WS_CHILDWINDOW", 0x40000000},
    // extended styles
    {"WS_EX_DLGMODALFRAME", 0x00000001}, {"WS_EX_NOPARENTNOTIFY", 0x00000004},
    {"WS_EX_TOPMOST", 0x00000008}, {"WS_EX_ACCEPTFILES", 0x00000010},
    {"WS_EX_TRANSPARENT", 0x00000020}, {"WS_EX_MDICHILD", 0x00000040},
    {"WS_EX_TOOLWINDOW", 0x00000080}, {"WS_EX_WINDOWEDGE", 0x00000100},
    {"WS_EX_CLIENTEDGE", 0x00000200}, {"WS_EX_CONTEXTHELP", 0x00000400},
    {"WS_EX_RIGHT", 0x00001000}, {"WS_EX_LEFT", 0x00000000}, {"WS_EX_RTLREADING", 0x00002000},
    {"WS_EX_LTRREADING", 0x00000000}, {"WS_EX_LEFTSCROLLBAR", 0x00004000},
    {"WS_EX_RIGHTSCROLLBAR", 0x00000000}, {"WS_EX_CONTROLPARENT", 0x00010000},
    {"WS_EX_STATICEDGE", 0x00020000}, {"WS_EX_APPWINDOW", 0x00040000},
    {"WS_EX_OVERLAPPEDWINDOW", 0x00000300}, {"WS_EX_PALETTEWINDOW", 0x00000188},
    {"WS_EX_LAYERED", 0x00080000}, {"WS_EX_NOINHERITLAYOUT", 0x00100000},
    {"WS_EX_LAYOUTRTL", 0x00400000}, {"WS_EX_COMPOSITED", 0x02000000},
    {"WS_EX_NOACTIVATE", 0x08000000},
    // edit styles
    {"ES_LEFT", 0x0000}, {"ES_CENTER", 0x0001}, {"ES_RIGHT", 0x0002}, {"ES_MULTILINE", 0x0004},
    {"ES_UPPERCASE", 0x0008}, {"ES_LOWERCASE", 0x0010}, {"ES_PASSWORD", 0x0020},
    {"ES_AUTOVSCROLL", 0x0040}, {"ES_AUTOHSCROLL", 0x0080}, {"ES_NOHIDESEL", 0x0100},
    {"ES_OEMCONVERT", 0x0400}, {"ES_READONLY", 0x0800}, {"ES_WANTRETURN", 0x1000},
    {"ES_NUMBER", 0x2000},
    // button styles
    {"BS_PUSHBUTTON", 0x0}, {"BS_DEFPUSHBUTTON", 0x1}, {"BS_CHECKBOX", 0x2},
    {"BS_AUTOCHECKBOX", 0x3}, {"BS_RADIOBUTTON", 0x4}, {"BS_3STATE", 0x5},
    {"BS_AUTO3STATE", 0x6}, {"BS_GROUPBOX", 0x7}, {"BS_USERBUTTON", 0x8},
    {"BS_AUTORADIOBUTTON", 0x9}, {"BS_PUSHBOX", 0xA}, {"BS_OWNERDRAW", 0xB},
    {"BS_TYPEMASK", 0xF}, {"BS_LEFTTEXT", 0x20}, {"BS_TEXT", 0x0}, {"BS_ICON", 0x40},
    {"BS_BITMAP", 0x80}, {"BS_LEFT", 0x100}, {"BS_RIGHT", 0x200}, {"BS_CENTER", 0x300},
    {"BS_TOP", 0x400}, {"BS_BOTTOM", 0x800}, {"BS_VCENTER", 0xC00}, {"BS_PUSHLIKE", 0x1000},
    {"BS_MULTILINE", 0x2000}, {"BS_NOTIFY", 0x4000}, {"BS_FLAT", 0x8000},
    {"BS_RIGHTBUTTON", 0x20},
    // static styles
    {"SS_LEFT", 0x0}, {"SS_CENTER", 0x1}, {"SS_RIGHT", 0x2}, {"SS_ICON", 0x3},
    {"SS_BLACKRECT", 0x4}, {"SS_GRAYRECT", 0x5}, {"SS_WHITERECT", 0x6}, {"SS_BLACKFRAME", 0x7},
    {"SS_GRAYFRAME", 0x8}, {"SS_WHITEFRAME", 0x9}, {"SS_USERITEM", 0xA}, {"SS_SIMPLE", 0xB},
    {"SS_LEFTNOWORDWRAP", 0xC}, {"SS_OWNERDRAW", 0xD}, {"SS_BITMAP", 0xE},
    {"SS_ENHMETAFILE", 0xF}, {"SS_ETCHEDHORZ", 0x10}, {"SS_ETCHEDVERT", 0x11},
    {"SS_ETCHEDFRAME", 0x12}, {"SS_TYPEMASK", 0x1F}, {"SS_REALSIZECONTROL", 0x40},
    {"SS_NOPREFIX", 0x80}, {"SS_NOTIFY", 0x100}, {"SS_CENTERIMAGE", 0x200},
    {"SS_RIGHTJUST", 0x400}, {"SS_REALSIZEIMAGE", 0x800}, {"SS_SUNKEN", 0x1000},
    {"SS_EDITCONTROL", 0x2000}, {"SS_ENDELLIPSIS", 0x4000}, {"SS_PATHELLIPSIS", 0x8000},
    {"SS_WORDELLIPSIS", 0xC000}, {"SS_ELLIPSISMASK", 0xC000},
    // dialog styles
    {"DS_ABSALIGN", 0x01}, {"DS_SYSMODAL", 0x02}, {"DS_LOCALEDIT", 0x20}, {"DS_SETFONT", 0x40},
    {"DS_MODALFRAME", 0x80}, {"DS_NOIDLEMSG", 0x100}, {"DS_SETFOREGROUND", 0x200},
    {"DS_3DLOOK", 0x04}, {"DS_FIXEDSYS", 0x08}, {"DS_NOFAILCREATE", 0x10}, {"DS_CONTROL", 0x400},
    {"DS_CENTER", 0x800}, {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000},
    {"DS_SHELLFONT", 0x48},
};

// s_wsLookup: built once, on first use.
const QHash<QString, std::uint32_t>& Table()
{
    static const QHash<QString, std::uint32_t> s_wsLookup = [] {
        QHash<QString, std::uint32_t> table;
        for (const Entry& e : kStyles)
            table.insert(QString::fromLatin1(e.name), e.value);
        return table;
    }();
    return s_wsLookup;
}

}  // namespace

std::optional<std::uint32_t> CWindowStyleLookup::LookupStyle(const QString& name)
{
    const auto& table = Table();
    auto it = table.constFind(name);
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

int CWindowStyleLookup::Count()
{
    return Table().size();
}

std::uint32_t CWindowStyle::CreateFromString(const QString& text, QStringList* unknownParts)
{
    std::uint32_t value = 0;
    const QStringList parts = text.split(QLatin1Char('|'));
    for (const QString& raw : parts) {
        // Blanks around a part ("WS_CHILD | WS_VISIBLE") are not part of
        // the name.
        const QString part = raw.trimmed();
        if (part.isEmpty())
            continue;
        if (auto named = CWindowStyleLookup::LookupStyle(part)) {
            value |= *named;
            continue;
        }
        bool ok = false;
        const std::uint32_t number = part.toUInt(&ok, 10);
        if (ok)
            value |= number;
        else if (unknownParts)
            unknownParts->append(part);
    }
    return value;
}

}  // namespace skin
