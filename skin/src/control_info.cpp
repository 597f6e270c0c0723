#include "skin/control_info.h"

#include "skin/window_style.h"

#include <QVariant>

namespace skin {
namespace {

constexpr const char* kIdProperty = "kelmControlId";
constexpr const char* kStyleProperty = "kelmStyle";
constexpr const char* kExStyleProperty = "kelmExStyle";
constexpr const char* kClassProperty = "kelmClass";

}  // namespace

void SetControlId(QWidget* control, int id)
{
    control->setProperty(kIdProperty, id);
}

int ControlId(const QWidget* control)
{
    const QVariant v = control ? control->property(kIdProperty) : QVariant();
    return v.isValid() ? v.toInt() : -1;
}

void SetControlStyle(QWidget* control, std::uint32_t style)
{
    control->setProperty(kStyleProperty, static_cast<qulonglong>(style));
}

std::uint32_t ControlStyle(const QWidget* control)
{
    return control ? static_cast<std::uint32_t>(control->property(kStyleProperty).toULongLong()) : 0;
}

void SetControlExStyle(QWidget* control, std::uint32_t exStyle)
{
    control->setProperty(kExStyleProperty, static_cast<qulonglong>(exStyle));
}

std::uint32_t ControlExStyle(const QWidget* control)
{
    return control ? static_cast<std::uint32_t>(control->property(kExStyleProperty).toULongLong()) : 0;
}

void SetControlClass(QWidget* control, const QString& className)
{
    control->setProperty(kClassProperty, className);
}

QString ControlClass(const QWidget* control)
{
    return control ? control->property(kClassProperty).toString() : QString();
}

void ApplyWindowStyle(QWidget* control, std::uint32_t style)
{
    SetControlStyle(control, style);
    control->setEnabled((style & WS_DISABLED) == 0);
    if (control->focusPolicy() != Qt::NoFocus)
        control->setFocusPolicy((style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    control->setVisible((style & WS_VISIBLE) != 0);
}

QWidget* FindControl(const QWidget* parent, int id)
{
    if (parent == nullptr)
        return nullptr;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && ControlId(widget) == id)
            return widget;
    }
    return nullptr;
}

}  // namespace skin
