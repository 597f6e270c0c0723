// kelmui_art: draws the suite's bitmaps, window regions and cursors into the
// UI resource folders (bitmaps/, regions/, cursors/ of the folder given).
//
// One look everywhere: a navy title bar, a light body, blue primary actions
// and white secondary ones, rounded window corners. Every button bitmap is
// drawn on the colour it sits on, so antialiased edges blend with the
// window; masks cut the round title buttons.
#include "palette.h"

#include "skin/regions.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cstdio>
#include <functional>

using namespace art;

namespace {

QDir g_root;
int g_written = 0;

void SaveBitmap(const QString& name, const QImage& image)
{
    const QString path = g_root.filePath(QStringLiteral("bitmaps/%1.png").arg(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "kelmui_art: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    ++g_written;
}

void SaveRegion(const QString& name, const QRegion& region)
{
    const QString path = g_root.filePath(QStringLiteral("regions/%1.rgn").arg(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(skin::RegionToData(region)) < 0) {
        std::fprintf(stderr, "kelmui_art: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    ++g_written;
}

QImage Canvas(int w, int h, const QColor& fill)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

QFont Font(int pixels, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// The pixels of a rounded rectangle, hard-edged (a window region has no
// partial pixels).
QRegion RoundedRegion(int w, int h, int r)
{
    QImage mask = Canvas(w, h, Qt::white);
    QPainter p(&mask);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(0, 0, w, h), r, r);
    p.end();
    return skin::CreateRgnFromBitmap(mask, qRgb(255, 255, 255));
}

// One corner of a rounded window: an R x R piece from (0, 0).
QRegion CornerRegion(int r, bool right, bool bottom)
{
    QRegion whole = RoundedRegion(2 * r, 2 * r, r);
    const QRect piece(right ? r : 0, bottom ? r : 0, r, r);
    QRegion corner = whole.intersected(piece);
    corner.translate(right ? -r : 0, bottom ? -r : 0);
    return corner;
}

void Shield(QPainter& p, const QRectF& r, const QColor& colour, const QColor& mark)
{
    QPainterPath path;
    path.moveTo(r.center().x(), r.top());
    path.lineTo(r.right(), r.top() + r.height() * 0.18);
    path.cubicTo(r.right(), r.top() + r.height() * 0.62, r.center().x() + r.width() * 0.2,
                 r.bottom() - r.height() * 0.08, r.center().x(), r.bottom());
    path.cubicTo(r.center().x() - r.width() * 0.2, r.bottom() - r.height() * 0.08, r.left(),
                 r.top() + r.height() * 0.62, r.left(), r.top() + r.height() * 0.18);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
    // A tick inside the shield.
    QPen pen(mark, std::max(1.5, r.width() * 0.11), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.5);
    tick.lineTo(r.left() + r.width() * 0.45, r.top() + r.height() * 0.65);
    tick.lineTo(r.left() + r.width() * 0.72, r.top() + r.height() * 0.35);
    p.drawPath(tick);
}

// ----- dialog buttons ------------------------------------------------

enum class ButtonKind { Primary, Secondary };
enum class State { Normal, Over, Down, Disabled };
const char* const kStateNames[] = {"normal", "over", "down", "disabled"};

QImage DialogButton(const QString& label, ButtonKind kind, State state, QSize size, const QColor& under)
{
    QImage image = Canvas(size.width(), size.height(), under);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill, border, text;
    if (kind == ButtonKind::Primary) {
        fill = state == State::Over ? kAccentHover : state == State::Down ? kAccentDown : kAccent;
        border = fill;
        text = Qt::white;
    } else {
        fill = state == State::Over ? QColor(0xF0, 0xF5, 0xFB) : state == State::Down ? QColor(0xDD, 0xE6, 0xEF)
                                                                                       : QColor(Qt::white);
        border = state == State::Over ? kAccent : QColor(0xC3, 0xCE, 0xDA);
        text = kText;
    }
    if (state == State::Disabled) {
        fill = kind == ButtonKind::Primary ? kDisabled : QColor(0xF4, 0xF6, 0xF8);
        border = kind == ButtonKind::Primary ? kDisabled : kLine;
        text = kind == ButtonKind::Primary ? QColor(0xF4, 0xF6, 0xF8) : kDisabled;
    }
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), kButtonRadius, kButtonRadius);
    p.setPen(text);
    p.setFont(Font(13, kind == ButtonKind::Primary));
    const QRect textRect = QRect(QPoint(0, 0), size).translated(state == State::Down ? QPoint(0, 1) : QPoint());
    p.drawText(textRect, Qt::AlignCenter, label);
    return image;
}

void DialogButtons()
{
    struct Label {
        const char* name;
        const char* text;
        ButtonKind kind;
    };
    const Label labels[] = {
        {"ok", "OK", ButtonKind::Primary},        {"yes", "Yes", ButtonKind::Primary},
        {"scan_now", "Scan Now", ButtonKind::Primary}, {"no", "No", ButtonKind::Secondary},
        {"cancel", "Cancel", ButtonKind::Secondary}, {"close", "Close", ButtonKind::Secondary},
        {"apply", "Apply", ButtonKind::Secondary}, {"stop", "Stop", ButtonKind::Secondary},
        {"options", "Options", ButtonKind::Secondary},
    };
    for (const Label& l : labels) {
        for (int s = 0; s < 4; ++s) {
            SaveBitmap(QStringLiteral("btn_%1_%2").arg(QLatin1String(l.name), QLatin1String(kStateNames[s])),
                       DialogButton(QString::fromLatin1(l.text), l.kind, static_cast<State>(s), QSize(96, 30), kBand));
        }
    }
}

// ----- title bar buttons ----------------------------------------------

void TitleGlyph(QPainter& p, const QString& kind, const QRectF& r, const QColor& c)
{
    p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QPointF m = r.center();
    const qreal d = r.width() * 0.18;
    if (kind == QLatin1String("close")) {
        p.drawLine(m + QPointF(-d, -d), m + QPointF(d, d));
        p.drawLine(m + QPointF(-d, d), m + QPointF(d, -d));
    } else if (kind == QLatin1String("min")) {
        p.drawLine(m + QPointF(-d, d * 0.6), m + QPointF(d, d * 0.6));
    } else if (kind == QLatin1String("max")) {
        p.drawRect(QRectF(m.x() - d, m.y() - d, 2 * d, 2 * d));
    } else if (kind == QLatin1String("restore")) {
        p.drawRect(QRectF(m.x() - d, m.y() - d * 0.4, d * 1.4, d * 1.4));
        p.drawLine(m + QPointF(-d * 0.4, -d), m + QPointF(d, -d));
        p.drawLine(m + QPointF(d, -d), m + QPointF(d, d * 0.4));
    } else {
        p.setPen(c);
        p.setFont(Font(static_cast<int>(r.height() * 0.6), true));
        p.drawText(r, Qt::AlignCenter, kind == QLatin1String("help") ? QStringLiteral("?") : QStringLiteral("i"));
    }
}

void TitleButtons()
{
    const int side = 24;
    QImage mask = Canvas(side, side, Qt::white);
    {
        QPainter p(&mask);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(0, 0, side, side));
    }
    SaveBitmap(QStringLiteral("title_button_mask"), mask);

    for (const char* kind : {"close", "min", "max", "restore", "help", "about"}) {
        for (int s = 0; s < 3; ++s) {
            QImage image = Canvas(side, side, kNavy);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            const bool danger = QLatin1String(kind) == QLatin1String("close");
            if (s > 0) {
                QColor bg = danger ? QColor(0xD9, 0x3F, 0x3F) : kNavyHover;
                if (s == 2)
                    bg = bg.darker(125);
                p.setPen(Qt::NoPen);
                p.setBrush(bg);
                p.drawEllipse(QRectF(0, 0, side, side));
            }
            TitleGlyph(p, QString::fromLatin1(kind), QRectF(0, 0, side, side),
                       s == 0 ? kNavText : QColor(Qt::white));
            p.end();
            SaveBitmap(QStringLiteral("title_%1_%2").arg(QLatin1String(kind), QLatin1String(kStateNames[s])), image);
        }
    }
}

// ----- check box --------------------------------------------------------

void CheckBoxes()
{
    const char* const names[] = {"check_normal", "check_over", "check_checked", "check_disabled"};
    for (int s = 0; s < 4; ++s) {
        QImage image = Canvas(18, 18, kBand);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const bool checked = s == 2;
        p.setPen(QPen(s == 1 || checked ? kAccent : s == 3 ? kLine : QColor(0x9A, 0xA8, 0xB8), 1.2));
        p.setBrush(checked ? kAccent : QColor(Qt::white));
        p.drawRoundedRect(QRectF(1.5, 1.5, 15, 15), 3, 3);
        if (checked) {
            p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            QPainterPath tick;
            tick.moveTo(5, 9.5);
            tick.lineTo(8, 12.5);
            tick.lineTo(13.5, 6);
            p.drawPath(tick);
        }
        p.end();
        SaveBitmap(QString::fromLatin1(names[s]), image);
    }
}

// ----- message boxes --------------------------------------------------

QImage MessageBoxBackground(int w, int h)
{
    QImage image = Canvas(w, h, kSurface);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(0, 0, w, 40, kNavy);
    Shield(p, QRectF(14, 10, 17, 20), kAccent, Qt::white);
    p.fillRect(0, h - 52, w, 52, kBand);
    p.fillRect(0, h - 52, w, 1, kLine);
    p.setPen(kLine);
    p.setBrush(Qt::NoBrush);
    return image;
}

QImage MessageIcon(const QString& kind)
{
    QImage image = Canvas(36, 36, kSurface);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = kind == QLatin1String("warning") ? kWarning : kAccent;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, 34, 34));
    p.setPen(Qt::white);
    p.setFont(Font(21, true));
    const QString glyph = kind == QLatin1String("info") ? QStringLiteral("i")
                          : kind == QLatin1String("question") ? QStringLiteral("?")
                                                              : QStringLiteral("!");
    p.drawText(QRectF(0, 0, 36, 36), Qt::AlignCenter, glyph);
    return image;
}

void MessageBoxes()
{
    SaveBitmap(QStringLiteral("mb_background"), MessageBoxBackground(400, 190));
    SaveRegion(QStringLiteral("mb_region"), RoundedRegion(400, 190, kWindowRadius));
    SaveBitmap(QStringLiteral("mbs_background"), MessageBoxBackground(360, 160));
    SaveRegion(QStringLiteral("mbs_region"), RoundedRegion(360, 160, kWindowRadius));
    for (const char* kind : {"info", "question", "warning"})
        SaveBitmap(QStringLiteral("icon_%1").arg(QLatin1String(kind)), MessageIcon(QString::fromLatin1(kind)));
}

// ----- main window ----------------------------------------------------

constexpr int kMainWidth = 755;
constexpr int kMainHeight = 565;
constexpr int kHeader = 60;
constexpr int kNavWidth = 168;
constexpr int kTabRow = 40;
constexpr int kFooter = 52;

QImage MainBackground(const QColor& header)
{
    QImage image = Canvas(kMainWidth, kMainHeight, kSurface);
    QPainter p(&image);
    p.fillRect(0, 0, kMainWidth, kHeader, header);
    p.fillRect(0, kHeader, kNavWidth, kMainHeight - kHeader, kNavyLight);
    p.fillRect(kNavWidth, kHeader, kMainWidth - kNavWidth, kTabRow, kBand);
    p.fillRect(kNavWidth, kHeader + kTabRow - 1, kMainWidth - kNavWidth, 1, kLine);
    p.fillRect(kNavWidth, kMainHeight - kFooter, kMainWidth - kNavWidth, kFooter, kBand);
    p.fillRect(kNavWidth, kMainHeight - kFooter, kMainWidth - kNavWidth, 1, kLine);
    return image;
}

void Logo()
{
    QImage image = Canvas(150, 36, kNavy);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Shield(p, QRectF(2, 3, 26, 30), kAccent, Qt::white);
    p.setPen(Qt::white);
    p.setFont(Font(21, true));
    p.drawText(QRectF(36, 0, 114, 36), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tavrel"));
    p.end();
    SaveBitmap(QStringLiteral("logo"), image);

    QImage red = image;
    red.fill(kDanger);
    QPainter q(&red);
    q.setRenderHint(QPainter::Antialiasing);
    Shield(q, QRectF(2, 3, 26, 30), kWarning, kDanger);
    q.setPen(Qt::white);
    q.setFont(Font(21, true));
    q.drawText(QRectF(36, 0, 114, 36), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tavrel"));
    q.end();
    SaveBitmap(QStringLiteral("logo_inf"), red);
}

void NavIcon(QPainter& p, const QString& group, const QRectF& r, const QColor& c)
{
    p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal x = r.left(), y = r.top(), w = r.width(), h = r.height();
    if (group == QLatin1String("home")) {
        QPainterPath roof;
        roof.moveTo(x + w * 0.1, y + h * 0.5);
        roof.lineTo(x + w * 0.5, y + h * 0.12);
        roof.lineTo(x + w * 0.9, y + h * 0.5);
        p.drawPath(roof);
        p.drawRect(QRectF(x + w * 0.22, y + h * 0.45, w * 0.56, h * 0.45));
    } else if (group == QLatin1String("scan")) {
        p.drawEllipse(QRectF(x + w * 0.1, y + h * 0.1, w * 0.55, h * 0.55));
        p.drawLine(QPointF(x + w * 0.58, y + h * 0.58), QPointF(x + w * 0.9, y + h * 0.9));
    } else if (group == QLatin1String("realtime")) {
        Shield(p, r.adjusted(w * 0.12, 0, -w * 0.12, 0), c, kNavyLight);
    } else if (group == QLatin1String("popup")) {
        p.drawRoundedRect(QRectF(x + w * 0.08, y + h * 0.15, w * 0.84, h * 0.7), 2, 2);
        p.drawLine(QPointF(x + w * 0.08, y + h * 0.33), QPointF(x + w * 0.92, y + h * 0.33));
        p.drawLine(QPointF(x + w * 0.4, y + h * 0.47), QPointF(x + w * 0.6, y + h * 0.7));
        p.drawLine(QPointF(x + w * 0.6, y + h * 0.47), QPointF(x + w * 0.4, y + h * 0.7));
    } else if (group == QLatin1String("scheduler")) {
        p.drawEllipse(QRectF(x + w * 0.1, y + h * 0.1, w * 0.8, h * 0.8));
        p.drawLine(r.center(), QPointF(r.center().x(), y + h * 0.28));
        p.drawLine(r.center(), QPointF(x + w * 0.7, r.center().y()));
    } else {
        p.drawEllipse(QRectF(x + w * 0.3, y + h * 0.3, w * 0.4, h * 0.4));
        for (int i = 0; i < 8; ++i) {
            QLineF spoke(r.center(), r.center() + QPointF(w * 0.42, 0));
            spoke.setAngle(i * 45.0);
            QLineF outer(spoke.pointAt(0.62), spoke.p2());
            p.drawLine(outer);
        }
    }
}

void NavButtons()
{
    struct Group {
        const char* name;
        const char* label;
    };
    const Group groups[] = {{"home", "Home"},           {"scan", "Scan"},
                            {"realtime", "Real-time"},   {"popup", "Pop-ups"},
                            {"scheduler", "Scheduler"}, {"tools", "Tools"}};
    const char* const states[] = {"normal", "over", "down", "active", "active_over", "active_down", "disabled"};
    for (const Group& g : groups) {
        for (int s = 0; s < 7; ++s) {
            const bool active = s >= 3 && s <= 5;
            const int look = active ? s - 3 : s;  // 0 normal, 1 over, 2 down, 3 disabled
            QColor bg = kNavyLight;
            if (active)
                bg = look == 2 ? kNavyDown : kNavy;
            else if (look == 1)
                bg = kNavyHover;
            else if (look == 2)
                bg = kNavyDown;
            QImage image = Canvas(kNavWidth, 46, bg);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            if (active)
                p.fillRect(0, 0, 4, 46, kAccent);
            if (active && look == 1)
                p.fillRect(4, 0, kNavWidth - 4, 46, kNavyHover);
            const QColor fg = look == 3 ? QColor(0x6E, 0x80, 0x96) : (active || look > 0) ? QColor(Qt::white) : kNavText;
            NavIcon(p, QString::fromLatin1(g.name), QRectF(22, 13, 20, 20), fg);
            p.setPen(fg);
            p.setFont(Font(14, active));
            p.drawText(QRectF(54, 0, kNavWidth - 60, 46), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(g.label));
            p.end();
            SaveBitmap(QStringLiteral("nav_%1_%2").arg(QLatin1String(g.name), QLatin1String(states[s])), image);
        }
    }
}

// The page-help button at the right of the tab row.
void PageHelpButtons()
{
    for (int s = 0; s < 3; ++s) {
        QImage image = Canvas(26, 26, kBand);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(s == 0 ? QColor(0x9A, 0xA8, 0xB8) : kAccent, 1.4));
        p.setBrush(s == 2 ? QColor(0xDD, 0xE6, 0xEF) : QColor(Qt::white));
        p.drawEllipse(QRectF(1.5, 1.5, 23, 23));
        p.setPen(s == 0 ? kTextMuted : kAccent);
        p.setFont(Font(14, true));
        p.drawText(QRectF(0, 0, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
        p.end();
        SaveBitmap(QStringLiteral("page_help_%1").arg(QLatin1String(kStateNames[s])), image);
    }
}

void TabButtons()
{
    const char* const states[] = {"normal", "over", "down", "active", "active_over", "active_down", "disabled"};
    for (int s = 0; s < 7; ++s) {
        const bool active = s >= 3 && s <= 5;
        const int look = active ? s - 3 : s;
        QImage image = Canvas(136, 39, kBand);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QColor fill = kBand;
        if (active)
            fill = kSurface;
        else if (look == 1)
            fill = QColor(0xE1, 0xE8, 0xF0);
        else if (look == 2)
            fill = QColor(0xD6, 0xDF, 0xE9);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(2, 6, 132, 40), 6, 6);
        if (active)
            p.fillRect(10, 36, 116, 3, kAccent);
        p.end();
        SaveBitmap(QStringLiteral("tab_%1").arg(QLatin1String(states[s])), image);
    }
}

void MainWindow()
{
    SaveBitmap(QStringLiteral("main_background"), MainBackground(kNavy));
    SaveBitmap(QStringLiteral("main_background_inf"), MainBackground(kDanger));
    SaveRegion(QStringLiteral("main_region"), RoundedRegion(kMainWidth, kMainHeight, kWindowRadius));
    Logo();
    NavButtons();
    TabButtons();
    PageHelpButtons();
}

// ----- resizable dialogs and the popup bar ------------------------------

void ResizableParts()
{
    SaveBitmap(QStringLiteral("gw_header"), Canvas(16, 44, kNavy));
    SaveBitmap(QStringLiteral("gw_body"), Canvas(16, 16, kSurface));
    QImage footer = Canvas(16, 56, kBand);
    {
        QPainter p(&footer);
        p.fillRect(0, 0, 16, 1, kLine);
    }
    SaveBitmap(QStringLiteral("gw_footer"), footer);
    QImage small(36, 36, QImage::Format_RGB32);
    small.fill(kNavy);
    {
        QPainter p(&small);
        p.setRenderHint(QPainter::Antialiasing);
        Shield(p, QRectF(8, 6, 20, 24), kAccent, Qt::white);
    }
    SaveBitmap(QStringLiteral("gw_shield"), small);
    SaveRegion(QStringLiteral("corner_tl"), CornerRegion(kWindowRadius, false, false));
    SaveRegion(QStringLiteral("corner_tr"), CornerRegion(kWindowRadius, true, false));
    SaveRegion(QStringLiteral("corner_bl"), CornerRegion(kWindowRadius, false, true));
    SaveRegion(QStringLiteral("corner_br"), CornerRegion(kWindowRadius, true, true));
}

void PopupBar()
{
    QImage bar = Canvas(16, 30, kNotice);
    {
        QPainter p(&bar);
        p.fillRect(0, 29, 16, 1, kNoticeLine);
    }
    SaveBitmap(QStringLiteral("bar_background"), bar);
    QImage icon = Canvas(20, 20, kNotice);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        Shield(p, QRectF(2, 1, 16, 18), kAccent, Qt::white);
    }
    SaveBitmap(QStringLiteral("bar_icon"), icon);
    for (int s = 0; s < 3; ++s) {
        QImage close = Canvas(20, 20, kNotice);
        QPainter p(&close);
        p.setRenderHint(QPainter::Antialiasing);
        if (s > 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(s == 1 ? kNoticeLine : kNoticeLine.darker(115));
            p.drawEllipse(QRectF(0, 0, 20, 20));
        }
        TitleGlyph(p, QStringLiteral("close"), QRectF(0, 0, 20, 20), kText);
        p.end();
        SaveBitmap(QStringLiteral("bar_close_%1").arg(QLatin1String(kStateNames[s])), close);
        QImage options = DialogButton(QStringLiteral("Options"), ButtonKind::Secondary, static_cast<State>(s),
                                      QSize(80, 22), kNotice);
        SaveBitmap(QStringLiteral("bar_options_%1").arg(QLatin1String(kStateNames[s])), options);
    }
}

// ----- popup black list and viewer ---------------------------------------

struct Action {
    const char* name;   // the action name the window uses in bitmap names
    const char* label;
    const char* glyph;  // what the icon shows
};

const Action kActions[] = {
    {"VIEW", "View", "eye"},           {"DELETE", "Delete", "cross"},
    {"ALLOW", "Allow", "tick"},        {"BLANKET_ALLOW", "Allow site", "ticks"},
    {"BLOCK", "Block", "stop"},        {"BLANKET_BLOCK", "Block site", "stops"},
    {"EVENT_LOG", "Event log", "list"}, {"SETTINGS", "Options", "gear"},
    {"HELP", "Help", "help"},          {"BROWSE", "Browser", "globe"},
    {"COPY", "Copy", "copy"},
};

void ActionGlyph(QPainter& p, const QString& glyph, const QRectF& r, const QColor& c)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal x = r.left(), y = r.top(), w = r.width(), h = r.height();
    const QPointF m = r.center();
    if (glyph == QLatin1String("eye")) {
        QPainterPath eye;
        eye.moveTo(x + w * 0.05, m.y());
        eye.quadTo(m.x(), y - h * 0.1, x + w * 0.95, m.y());
        eye.quadTo(m.x(), y + h * 1.1, x + w * 0.05, m.y());
        p.drawPath(eye);
        p.setBrush(c);
        p.drawEllipse(m, w * 0.14, h * 0.14);
    } else if (glyph == QLatin1String("cross")) {
        p.drawLine(QPointF(x + w * 0.2, y + h * 0.2), QPointF(x + w * 0.8, y + h * 0.8));
        p.drawLine(QPointF(x + w * 0.8, y + h * 0.2), QPointF(x + w * 0.2, y + h * 0.8));
    } else if (glyph.startsWith(QLatin1String("tick"))) {
        QPainterPath t;
        t.moveTo(x + w * 0.15, y + h * 0.55);
        t.lineTo(x + w * 0.4, y + h * 0.8);
        t.lineTo(x + w * 0.85, y + h * 0.25);
        p.setPen(QPen(QColor(0x2E, 0x9E, 0x4F), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(t);
        if (glyph == QLatin1String("ticks"))
            p.drawLine(QPointF(x + w * 0.1, y + h * 0.95), QPointF(x + w * 0.9, y + h * 0.95));
    } else if (glyph.startsWith(QLatin1String("stop"))) {
        p.setPen(QPen(QColor(0xC6, 0x28, 0x28), 2));
        p.drawEllipse(r.adjusted(w * 0.12, h * 0.12, -w * 0.12, -h * 0.12));
        p.drawLine(QPointF(x + w * 0.3, y + h * 0.7), QPointF(x + w * 0.7, y + h * 0.3));
        if (glyph == QLatin1String("stops"))
            p.drawLine(QPointF(x + w * 0.1, y + h * 0.98), QPointF(x + w * 0.9, y + h * 0.98));
    } else if (glyph == QLatin1String("list")) {
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(x + w * 0.2, y + h * (0.25 + 0.25 * i)), QPointF(x + w * 0.85, y + h * (0.25 + 0.25 * i)));
    } else if (glyph == QLatin1String("gear")) {
        p.drawEllipse(m, w * 0.2, h * 0.2);
        for (int i = 0; i < 8; ++i) {
            QLineF spoke(m, m + QPointF(w * 0.42, 0));
            spoke.setAngle(i * 45.0);
            p.drawLine(QLineF(spoke.pointAt(0.6), spoke.p2()));
        }
    } else if (glyph == QLatin1String("help")) {
        p.drawEllipse(r.adjusted(1, 1, -1, -1));
        p.setFont(Font(static_cast<int>(h * 0.7), true));
        p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
    } else if (glyph == QLatin1String("globe")) {
        p.drawEllipse(r.adjusted(1, 1, -1, -1));
        p.drawEllipse(QRectF(m.x() - w * 0.18, y + 1, w * 0.36, h - 2));
        p.drawLine(QPointF(x + 1, m.y()), QPointF(x + w - 1, m.y()));
    } else {
        p.drawRect(QRectF(x + w * 0.15, y + h * 0.3, w * 0.5, h * 0.6));
        p.drawRect(QRectF(x + w * 0.35, y + h * 0.1, w * 0.5, h * 0.6));
    }
    p.restore();
}

void BlackList()
{
    // The action button: icon and label, in normal, over and down states.
    for (const Action& a : kActions) {
        const char* const states[] = {"NORMAL", "OVER", "DOWN"};
        for (int s = 0; s < 3; ++s) {
            QImage image = DialogButton(QString(), ButtonKind::Secondary, static_cast<State>(s), QSize(132, 30), kBand);
            QPainter p(&image);
            ActionGlyph(p, QString::fromLatin1(a.glyph), QRectF(12, 7 + (s == 2 ? 1 : 0), 16, 16), kText);
            p.setPen(kText);
            p.setFont(Font(13, false));
            p.drawText(QRectF(36, s == 2 ? 1 : 0, 92, 30), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(a.label));
            p.end();
            SaveBitmap(QStringLiteral("BL_ACTION_%1_BUTTON_%2").arg(QLatin1String(a.name), QLatin1String(states[s])), image);
        }
        QImage icon(16, 16, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        QPainter p(&icon);
        ActionGlyph(p, QString::fromLatin1(a.glyph), QRectF(0, 0, 16, 16), kText);
        p.end();
        SaveBitmap(QStringLiteral("ICON_%1_16x16").arg(QString::fromLatin1(a.name) == QLatin1String("SETTINGS")
                                                           ? QStringLiteral("ADVANCED_OPTIONS")
                                                       : QString::fromLatin1(a.name) == QLatin1String("BLANKET_ALLOW")
                                                           ? QStringLiteral("ALLOW_ALL")
                                                       : QString::fromLatin1(a.name) == QLatin1String("BLANKET_BLOCK")
                                                           ? QStringLiteral("BLOCK_ALL")
                                                           : QString::fromLatin1(a.name)),
                   icon);
    }
    // The drop-down half of the action button.
    for (int s = 0; s < 3; ++s) {
        QImage image = DialogButton(QString(), ButtonKind::Secondary, static_cast<State>(s), QSize(24, 30), kBand);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(kText);
        const qreal dy = s == 2 ? 1 : 0;
        p.drawPolygon(QPolygonF({QPointF(7, 13 + dy), QPointF(17, 13 + dy), QPointF(12, 18 + dy)}));
        p.end();
        SaveBitmap(QStringLiteral("btn_dropdown_%1").arg(QLatin1String(kStateNames[s])), image);
    }
    // Previous and next popup in the viewer.
    for (const char* way : {"previous", "next"}) {
        for (int s = 0; s < 3; ++s) {
            QImage image = DialogButton(QString(), ButtonKind::Secondary, static_cast<State>(s), QSize(30, 30), kBand);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(kText, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            const bool next = QLatin1String(way) == QLatin1String("next");
            const qreal dy = s == 2 ? 1 : 0;
            QPainterPath chevron;
            chevron.moveTo(next ? 12 : 18, 9 + dy);
            chevron.lineTo(next ? 18 : 12, 15 + dy);
            chevron.lineTo(next ? 12 : 18, 21 + dy);
            p.drawPath(chevron);
            p.end();
            SaveBitmap(QStringLiteral("btn_%1_%2").arg(QLatin1String(way), QLatin1String(kStateNames[s])), image);
        }
    }
    for (const auto& [name, text] : {std::pair{"save_list", "Save list"}, std::pair{"clear_list", "Clear list"}}) {
        for (int s = 0; s < 4; ++s)
            SaveBitmap(QStringLiteral("btn_%1_%2").arg(QLatin1String(name), QLatin1String(kStateNames[s])),
                       DialogButton(QString::fromLatin1(text), ButtonKind::Secondary, static_cast<State>(s), QSize(96, 30), kBand));
    }
    // The list's bullets: allowed (0) and blocked (1), on the mask colour.
    QImage bullets = Canvas(32, 16, QColor(255, 0, 255));
    QPainter p(&bullets);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2E, 0x9E, 0x4F));
    p.drawEllipse(QRect(4, 4, 8, 8));
    p.setBrush(QColor(0xC6, 0x28, 0x28));
    p.drawEllipse(QRect(20, 4, 8, 8));
    p.end();
    SaveBitmap(QStringLiteral("list_bullets"), bullets);
}

// ----- cursors --------------------------------------------------------

void AppendLe32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian<quint32>(v, b);
    out.append(b, 4);
}

void AppendLe16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian<quint16>(v, b);
    out.append(b, 2);
}

// A .cur file of one 32 x 32, 32-bit image with its hot spot.
void SaveCursor(const QString& name, const QImage& image, QPoint hotSpot)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int side = 32;
    QByteArray dib;
    AppendLe32(dib, 40);
    AppendLe32(dib, side);
    AppendLe32(dib, side * 2);  // colour rows and mask rows
    AppendLe16(dib, 1);
    AppendLe16(dib, 32);
    AppendLe32(dib, 0);
    AppendLe32(dib, side * side * 4 + side * 4);
    for (int i = 0; i < 4; ++i)
        AppendLe32(dib, 0);
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x)
            AppendLe32(dib, argb.pixel(x, y));
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; x += 8) {
            quint8 bits = 0;
            for (int b = 0; b < 8; ++b)
                if (qAlpha(argb.pixel(x + b, y)) == 0)
                    bits |= 0x80 >> b;
            dib.append(static_cast<char>(bits));
        }
    QByteArray out;
    AppendLe16(out, 0);
    AppendLe16(out, 2);
    AppendLe16(out, 1);
    out.append(static_cast<char>(side));
    out.append(static_cast<char>(side));
    out.append('\0');
    out.append('\0');
    AppendLe16(out, static_cast<quint16>(hotSpot.x()));
    AppendLe16(out, static_cast<quint16>(hotSpot.y()));
    AppendLe32(out, static_cast<quint32>(dib.size()));
    AppendLe32(out, 22);
    out.append(dib);

    QFile file(g_root.filePath(QStringLiteral("cursors/%1.cur").arg(name)));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size()) {
        std::fprintf(stderr, "kelmui_art: cannot write cursor %s\n", qPrintable(name));
        std::exit(1);
    }
    ++g_written;
}

void Cursors()
{
    // A drag cursor for moving skinned windows: four arrows, hot spot in the
    // middle.
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(16, 4, 16, 28);
    p.drawLine(4, 16, 28, 16);
    p.setPen(QPen(kNavy, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(16, 4, 16, 28);
    p.drawLine(4, 16, 28, 16);
    for (const QLineF& tip : {QLineF(16, 4, 12, 8), QLineF(16, 4, 20, 8), QLineF(16, 28, 12, 24),
                              QLineF(16, 28, 20, 24), QLineF(4, 16, 8, 12), QLineF(4, 16, 8, 20),
                              QLineF(28, 16, 24, 12), QLineF(28, 16, 24, 20)})
        p.drawLine(tip);
    p.end();
    SaveCursor(QStringLiteral("cursor_move"), image, QPoint(16, 16));
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelmui_art UI_FOLDER\n");
        return 2;
    }
    g_root = QDir(QString::fromLocal8Bit(argv[1]));
    for (const char* folder : {"bitmaps", "regions", "cursors"})
        g_root.mkpath(QString::fromLatin1(folder));

    DialogButtons();
    TitleButtons();
    CheckBoxes();
    MessageBoxes();
    MainWindow();
    ResizableParts();
    PopupBar();
    BlackList();
    Cursors();
    std::printf("kelmui_art: wrote %d files into %s\n", g_written, argv[1]);
    return 0;
}
