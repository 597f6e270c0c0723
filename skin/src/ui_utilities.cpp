#include "skin/ui_utilities.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

#include <algorithm>

namespace skin {

void CUIUtilities::CenterRect(CRect& rect, const CRect* reference)
{
    CRect ref;
    if (reference) {
        ref = *reference;
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        ref = CRect::FromQRect(screen->geometry());
    }
    const int dx = (ref.left + ref.right) / 2 - (rect.left + rect.right) / 2;
    const int dy = (ref.top + ref.bottom) / 2 - (rect.top + rect.bottom) / 2;
    rect.left += dx;
    rect.right += dx;
    rect.top += dy;
    rect.bottom += dy;
}

COLORREF CUIUtilities::BlendColors(COLORREF a, COLORREF b, int numerator, int denominator)
{
    if (denominator == 0)
        return a;
    COLORREF out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const long long sum = static_cast<long long>((a >> shift) & 0xFF) + ((b >> shift) & 0xFF);
        const long long channel = std::clamp(sum * numerator / denominator, 0LL, 255LL);
        out |= static_cast<COLORREF>(channel) << shift;
    }
    return out;
}

int CUIUtilities::FindMenuIndex(const QMenu* menu, const QString& text)
{
    if (menu == nullptr)
        return -1;
    const QList<QAction*> actions = menu->actions();
    for (int i = 0; i < actions.size(); ++i) {
        QString label = actions[i]->text();
        label.remove(QLatin1Char('&'));
        if (label.compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

}  // namespace skin
