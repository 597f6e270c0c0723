#include "script_arguments.h"

#include <cmath>
#include <limits>

namespace {

bool IsNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

std::optional<int> WholeInt(double number)
{
    if (!std::isfinite(number) || std::floor(number) != number)
        return std::nullopt;
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

}  // namespace

std::optional<QString> ScriptArgumentAsText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (IsNumber(value)) {
        const double number = value.toDouble();
        if (!std::isfinite(number))
            return std::nullopt;
        if (std::floor(number) == number && std::fabs(number) < 1e15)
            return QString::number(static_cast<qint64>(number));
        return QString::number(number, 'g', 17);
    }
    return std::nullopt;
}

std::optional<int> ScriptArgumentAsInt(const QVariant& value)
{
    if (IsNumber(value))
        return WholeInt(value.toDouble());
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const int number = value.toString().trimmed().toInt(&ok, 10);
        if (ok)
            return number;
    }
    return std::nullopt;
}
