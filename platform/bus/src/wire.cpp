#include "bus/wire.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QMetaType>
#include <mutex>

namespace bus {
namespace {

// One row set as it travels: (s name, as columns, aas rows).
struct WireRowSet {
    QString name;
    QStringList columns;
    QList<QStringList> rows;
};

// Named values as they travel: a{ss} in their own order. A registered type
// (rather than a hand-built QDBusArgument) lets Qt write it straight into the
// message instead of copying it over once more.
struct WireValues {
    QList<QPair<QString, QString>> entries;
};

}  // namespace
}  // namespace bus

Q_DECLARE_METATYPE(bus::WireRowSet)
Q_DECLARE_METATYPE(bus::WireValues)

namespace bus {
namespace {

QDBusArgument& operator<<(QDBusArgument& arg, const WireRowSet& set)
{
    arg.beginStructure();
    arg << set.name << set.columns;
    arg.beginArray(QMetaType::fromType<QStringList>());
    for (const QStringList& row : set.rows)
        arg << row;
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, WireRowSet& set)
{
    arg.beginStructure();
    arg >> set.name >> set.columns;
    arg.beginArray();
    set.rows.clear();
    while (!arg.atEnd()) {
        QStringList row;
        arg >> row;
        set.rows.append(row);
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const WireValues& values)
{
    arg.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
    for (const auto& [name, value] : values.entries) {
        arg.beginMapEntry();
        arg << name << value;
        arg.endMapEntry();
    }
    arg.endMap();
    return arg;
}

// Only written by this side; incoming values are read by DecodeValues.
const QDBusArgument& operator>>(const QDBusArgument& arg, WireValues& values)
{
    values.entries.clear();
    arg.beginMap();
    while (!arg.atEnd()) {
        QString name, value;
        arg.beginMapEntry();
        arg >> name >> value;
        arg.endMapEntry();
        values.entries.append({name, value});
    }
    arg.endMap();
    return arg;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

QVariant EncodeValues(const CDictionary& values)
{
    WireValues wire;
    wire.entries.reserve(static_cast<qsizetype>(values.GetCount()));
    for (const auto& [name, value] : values)
        wire.entries.append({Q(name), Q(value.ToString())});
    return QVariant::fromValue(wire);
}

QVariant EncodeRowSets(const CMsgRowSets& rowSets)
{
    QList<WireRowSet> wire;
    wire.reserve(rowSets.size());
    for (const CMsgRowSet& set : rowSets) {
        WireRowSet w;
        w.name = Q(set.GetName());
        for (const std::string& column : set.GetColumns())
            w.columns.append(Q(column));
        for (const auto& row : set.GetRows()) {
            QStringList cells;
            cells.reserve(static_cast<qsizetype>(row.size()));
            for (const CStringValue& cell : row)
                cells.append(Q(cell.ToString()));
            w.rows.append(cells);
        }
        wire.append(w);
    }
    return QVariant::fromValue(wire);
}

bool DecodeValues(const QVariant& variant, CDictionary& values, const Limits& limits, std::string& error,
                  DecodeStatus& status, std::size_t& bytes)
{
    if (variant.userType() != qMetaTypeId<QDBusArgument>()) {
        error = "values are not a dictionary";
        return false;
    }
    const QDBusArgument arg = variant.value<QDBusArgument>();
    if (arg.currentType() != QDBusArgument::MapType) {
        error = "values are not a dictionary";
        return false;
    }
    arg.beginMap();
    while (!arg.atEnd()) {
        QString key, value;
        arg.beginMapEntry();
        arg >> key >> value;
        arg.endMapEntry();
        if (key.isEmpty() || static_cast<std::size_t>(key.size()) > limits.maxNameLength) {
            error = "a value name is empty or too long";
            arg.endMap();
            return false;
        }
        bytes += static_cast<std::size_t>(key.size() + value.size());
        if (values.GetCount() >= limits.maxValues || bytes > limits.maxBytes) {
            status = DecodeStatus::TooLarge;
            error = "too many or too large values";
            arg.endMap();
            return false;
        }
        values.SetValue(key.toStdString(), CStringValue(value.toStdString()));
    }
    arg.endMap();
    return true;
}

bool DecodeRowSets(const QVariant& variant, CMsgRowSets& rowSets, const Limits& limits, std::string& error,
                   DecodeStatus& status, std::size_t& bytes)
{
    if (variant.userType() != qMetaTypeId<QDBusArgument>()) {
        error = "row sets are not an array";
        return false;
    }
    const QDBusArgument arg = variant.value<QDBusArgument>();
    if (arg.currentType() != QDBusArgument::ArrayType) {
        error = "row sets are not an array";
        return false;
    }
    std::size_t cells = 0;
    bool ok = true;
    arg.beginArray();
    while (!arg.atEnd()) {
        WireRowSet w;
        arg >> w;
        if (!ok)
            continue;  // keep reading so the argument is left consistent
        if (rowSets.size() >= limits.maxRowSets) {
            status = DecodeStatus::TooLarge;
            error = "too many row sets";
            ok = false;
            continue;
        }
        if (static_cast<std::size_t>(w.name.size()) > limits.maxNameLength ||
            static_cast<std::size_t>(w.columns.size()) > limits.maxColumns) {
            status = DecodeStatus::TooLarge;
            error = "row set name or column count over the limit";
            ok = false;
            continue;
        }
        CMsgRowSet set(w.name.toStdString());
        for (const QString& column : w.columns) {
            if (column.isEmpty() || static_cast<std::size_t>(column.size()) > limits.maxNameLength) {
                error = "a column name is empty or too long";
                ok = false;
                break;
            }
            if (set.GetColumnIndex(column.toStdString()) >= 0) {
                error = "a column name appears twice";
                ok = false;
                break;
            }
            bytes += static_cast<std::size_t>(column.size());
            set.AddColumn(column.toStdString());
        }
        if (!ok)
            continue;
        for (const QStringList& row : w.rows) {
            if (row.size() != w.columns.size()) {
                error = "a row's cell count differs from its column count";
                ok = false;
                break;
            }
            cells += static_cast<std::size_t>(row.size()) + 1;
            for (const QString& cell : row)
                bytes += static_cast<std::size_t>(cell.size());
            if (cells > limits.maxCells || bytes > limits.maxBytes) {
                status = DecodeStatus::TooLarge;
                error = "row sets over the size limit";
                ok = false;
                break;
            }
            const std::size_t r = set.AddRow();
            for (qsizetype c = 0; c < row.size(); ++c)
                set.SetValue(r, set.GetColumns()[static_cast<std::size_t>(c)], CStringValue(row[c].toStdString()));
        }
        if (ok)
            rowSets.push_back(std::move(set));
    }
    arg.endArray();
    return ok;
}

}  // namespace

void RegisterTypes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qDBusRegisterMetaType<WireRowSet>();
        qDBusRegisterMetaType<QList<WireRowSet>>();
        qDBusRegisterMetaType<WireValues>();
    });
}

QList<QVariant> EncodeMessage(const std::string& name, const CDictionary& values, const CMsgRowSets& rowSets)
{
    RegisterTypes();
    return {QVariant(Q(name)), EncodeValues(values), EncodeRowSets(rowSets)};
}

QList<QVariant> EncodeAnswer(int code, const std::string& text, const CMsgRowSets& rowSets)
{
    RegisterTypes();
    return {QVariant(code), QVariant(Q(text)), EncodeRowSets(rowSets)};
}

Decoded DecodeMessage(const QDBusMessage& message, const Limits& limits)
{
    RegisterTypes();
    Decoded out;
    if (message.signature() != QLatin1String(kRequestSignature)) {
        out.status = DecodeStatus::Malformed;
        out.error = "arguments must be " + std::string(kRequestSignature) + ", got \"" +
                    message.signature().left(64).toStdString() + "\"";
        return out;
    }
    const QList<QVariant> args = message.arguments();
    const QString name = args.value(0).toString();
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) > limits.maxNameLength) {
        out.status = DecodeStatus::Malformed;
        out.error = "the name is empty or too long";
        return out;
    }
    out.name = name.toStdString();
    std::size_t bytes = static_cast<std::size_t>(name.size());
    DecodeStatus status = DecodeStatus::Malformed;
    if (!DecodeValues(args.value(1), out.values, limits, out.error, status, bytes) ||
        !DecodeRowSets(args.value(2), out.rowSets, limits, out.error, status, bytes)) {
        out.status = status;
        out.values.RemoveAll();
        out.rowSets.clear();
    }
    return out;
}

DecodedAnswer DecodeAnswer(const QDBusMessage& message, const Limits& limits)
{
    RegisterTypes();
    DecodedAnswer out;
    if (message.signature() != QLatin1String(kAnswerSignature)) {
        out.error = "answer arguments must be " + std::string(kAnswerSignature) + ", got \"" +
                    message.signature().left(64).toStdString() + "\"";
        return out;
    }
    const QList<QVariant> args = message.arguments();
    out.code = args.value(0).toInt();
    out.text = args.value(1).toString().toStdString();
    std::size_t bytes = out.text.size();
    DecodeStatus status = DecodeStatus::Malformed;
    out.ok = DecodeRowSets(args.value(2), out.rowSets, limits, out.error, status, bytes);
    if (!out.ok)
        out.rowSets.clear();
    return out;
}

bool DecodeNames(const QDBusMessage& message, QStringList& names, const Limits& limits)
{
    if (message.signature() != QLatin1String(kNamesSignature))
        return false;
    names = message.arguments().value(0).toStringList();
    if (static_cast<std::size_t>(names.size()) > limits.maxValues)
        return false;
    for (const QString& name : names)
        if (name.isEmpty() || static_cast<std::size_t>(name.size()) > limits.maxNameLength)
            return false;
    return true;
}

}  // namespace bus
