// What a dialog knows of each of its controls: the control ID, the window
// style and extended style bits it was created with, and its class name
// ("Button", "Static", "Edit", ...). Kept as properties on the widget so any
// code holding the widget can ask.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

namespace skin {

void SetControlId(QWidget* control, int id);
// The control ID, or -1 when none was given.
int ControlId(const QWidget* control);

void SetControlStyle(QWidget* control, std::uint32_t style);
std::uint32_t ControlStyle(const QWidget* control);

void SetControlExStyle(QWidget* control, std::uint32_t exStyle);
std::uint32_t ControlExStyle(const QWidget* control);

void SetControlClass(QWidget* control, const QString& className);
QString ControlClass(const QWidget* control);

// Applies the generic window style bits to a child control: WS_VISIBLE
// (shown), WS_DISABLED (disabled) and WS_TABSTOP (keyboard focus).
void ApplyWindowStyle(QWidget* control, std::uint32_t style);

// The first child of PARENT with control ID ID, or null.
QWidget* FindControl(const QWidget* parent, int id);

}  // namespace skin
