// The colours and measures of the suite's look, shared by every drawing.
#pragma once

#include <QColor>

namespace art {

inline const QColor kNavy(0x1B, 0x2A, 0x41);       // title bars, navigation
inline const QColor kNavyLight(0x26, 0x3A, 0x57);  // navigation column
inline const QColor kNavyHover(0x31, 0x4A, 0x6B);
inline const QColor kNavyDown(0x15, 0x22, 0x36);
inline const QColor kAccent(0x1E, 0x88, 0xE5);     // primary actions, active marks
inline const QColor kAccentHover(0x42, 0xA0, 0xF0);
inline const QColor kAccentDown(0x15, 0x65, 0xC0);
inline const QColor kDisabled(0xB8, 0xC4, 0xD0);
inline const QColor kSurface(0xF5, 0xF7, 0xFA);    // window body
inline const QColor kBand(0xEC, 0xF0, 0xF5);       // button bars, tab row
inline const QColor kLine(0xD5, 0xDD, 0xE6);
inline const QColor kText(0x1F, 0x2D, 0x3D);
inline const QColor kTextMuted(0x6B, 0x7A, 0x8C);
inline const QColor kNavText(0xC9, 0xD6, 0xE6);
inline const QColor kWarning(0xF2, 0xA9, 0x00);
inline const QColor kDanger(0xB7, 0x2B, 0x2B);     // the infection skin's title bar
inline const QColor kNotice(0xFF, 0xF6, 0xD6);     // the popup bar
inline const QColor kNoticeLine(0xE8, 0xD9, 0xA0);

inline constexpr int kWindowRadius = 10;
inline constexpr int kButtonRadius = 6;

}  // namespace art
