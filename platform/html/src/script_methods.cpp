#include "servicelink/html/script_methods.h"

#include "script_arguments.h"

#include <exception>

QString ScriptCallStatusName(ScriptCallStatus status)
{
    switch (status) {
    case ScriptCallStatus::Ok: return QStringLiteral("ok");
    case ScriptCallStatus::UnknownMethod: return QStringLiteral("unknown method");
    case ScriptCallStatus::BadArguments: return QStringLiteral("bad arguments");
    case ScriptCallStatus::Untrusted: return QStringLiteral("untrusted document");
    case ScriptCallStatus::NoDispatch: return QStringLiteral("no external object");
    case ScriptCallStatus::Failed: return QStringLiteral("method failed");
    }
    return QStringLiteral("unknown status");
}

void CScriptMethodTable::Insert(const QString& name, Method method)
{
    m_methods.insert(name.toLower(), Entry{name, std::move(method)});
}

void CScriptMethodTable::Add(const QString& name, NoArgs method) { Insert(name, std::move(method)); }
void CScriptMethodTable::AddText(const QString& name, OneText method) { Insert(name, std::move(method)); }
void CScriptMethodTable::AddInt(const QString& name, OneInt method) { Insert(name, std::move(method)); }
void CScriptMethodTable::AddIntInt(const QString& name, TwoInts method) { Insert(name, std::move(method)); }

bool CScriptMethodTable::Contains(const QString& name) const
{
    return m_methods.contains(name.toLower());
}

QStringList CScriptMethodTable::Names() const
{
    QStringList names;
    for (const Entry& entry : m_methods)
        names.append(entry.name);
    names.sort(Qt::CaseInsensitive);
    return names;
}

namespace {

// Converts ARGS for one method shape; false with *ERROR when they do not fit.
struct ArgumentReader {
    const QVariantList& args;
    QString* error;

    bool Count(qsizetype wanted)
    {
        if (args.size() == wanted)
            return true;
        *error = QStringLiteral("takes %1 argument(s), got %2").arg(wanted).arg(args.size());
        return false;
    }
    bool Text(qsizetype index, QString& out)
    {
        const auto text = ScriptArgumentAsText(args.at(index));
        if (!text) {
            *error = QStringLiteral("argument %1 is no text").arg(index + 1);
            return false;
        }
        out = *text;
        return true;
    }
    bool Int(qsizetype index, int& out)
    {
        const auto number = ScriptArgumentAsInt(args.at(index));
        if (!number) {
            *error = QStringLiteral("argument %1 is no 32-bit integer").arg(index + 1);
            return false;
        }
        out = *number;
        return true;
    }
};

}  // namespace

ScriptCallStatus CScriptMethodTable::Invoke(const QString& name, const QVariantList& args, QString* error) const
{
    QString ignored;
    QString& why = error != nullptr ? *error : ignored;
    const auto found = m_methods.constFind(name.toLower());
    if (found == m_methods.constEnd()) {
        why = QStringLiteral("no method '%1'").arg(name);
        return ScriptCallStatus::UnknownMethod;
    }
    ArgumentReader read{args, &why};
    // The method's own failures stop here: page script must not be able to
    // throw a C++ exception through the web engine's event loop.
    try {
        const Method& method = found->method;
        if (const auto* noArgs = std::get_if<NoArgs>(&method)) {
            if (!read.Count(0))
                return ScriptCallStatus::BadArguments;
            (*noArgs)();
        } else if (const auto* oneText = std::get_if<OneText>(&method)) {
            QString text;
            if (!read.Count(1) || !read.Text(0, text))
                return ScriptCallStatus::BadArguments;
            (*oneText)(text);
        } else if (const auto* oneInt = std::get_if<OneInt>(&method)) {
            int number = 0;
            if (!read.Count(1) || !read.Int(0, number))
                return ScriptCallStatus::BadArguments;
            (*oneInt)(number);
        } else if (const auto* twoInts = std::get_if<TwoInts>(&method)) {
            int first = 0;
            int second = 0;
            if (!read.Count(2) || !read.Int(0, first) || !read.Int(1, second))
                return ScriptCallStatus::BadArguments;
            (*twoInts)(first, second);
        }
    } catch (const std::exception& e) {
        why = QStringLiteral("method '%1' threw: %2").arg(name, QString::fromLocal8Bit(e.what()));
        return ScriptCallStatus::Failed;
    } catch (...) {
        why = QStringLiteral("method '%1' threw").arg(name);
        return ScriptCallStatus::Failed;
    }
    return ScriptCallStatus::Ok;
}

CScriptCommandTarget::CScriptCommandTarget()
    : m_alive(std::make_shared<int>(0))
{
}

CScriptCommandTarget::~CScriptCommandTarget() = default;
