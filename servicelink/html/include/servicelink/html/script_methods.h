// Script-callable methods: what page script reaches as window.external.
//
// A command target (a host window, a page's document model) fills its method
// table once; the host's dispatch looks names up without regard to case, as
// the platform's script dispatch does. The argument shapes the pages use are
// fixed: none, one text, one integer, two integers. Arguments come from page
// script and are untrusted: a call whose argument count or types do not fit
// the method is refused and reported, and the method is not run.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <variant>

enum class ScriptCallStatus {
    Ok,
    UnknownMethod,  // no target has a method of that name
    BadArguments,   // wrong count or a value that is not text or a 32-bit integer
    Untrusted,      // the calling document is not one the host trusts
    NoDispatch,     // the browser offers no external object
    Failed,         // the method threw; the exception stopped at the dispatch
};

QString ScriptCallStatusName(ScriptCallStatus status);

class CScriptMethodTable {
public:
    using NoArgs = std::function<void()>;
    using OneText = std::function<void(const QString&)>;
    using OneInt = std::function<void(int)>;
    using TwoInts = std::function<void(int, int)>;

    // A later method with the same name (any case) replaces the earlier one.
    void Add(const QString& name, NoArgs method);
    void AddText(const QString& name, OneText method);
    void AddInt(const QString& name, OneInt method);
    void AddIntInt(const QString& name, TwoInts method);

    template <typename T>
    void Add(const QString& name, T* target, void (T::*method)())
    {
        Add(name, NoArgs([target, method] { (target->*method)(); }));
    }
    template <typename T>
    void Add(const QString& name, T* target, void (T::*method)(const QString&))
    {
        AddText(name, OneText([target, method](const QString& a) { (target->*method)(a); }));
    }
    template <typename T>
    void Add(const QString& name, T* target, void (T::*method)(int))
    {
        AddInt(name, OneInt([target, method](int a) { (target->*method)(a); }));
    }
    template <typename T>
    void Add(const QString& name, T* target, void (T::*method)(int, int))
    {
        AddIntInt(name, TwoInts([target, method](int a, int b) { (target->*method)(a, b); }));
    }

    bool Contains(const QString& name) const;
    QStringList Names() const;

    // Runs NAME with ARGS as page script gave them. Text arguments accept
    // texts and numbers (a whole number reads as its decimal text); integer
    // arguments accept whole numbers in the 32-bit range and texts that are
    // exactly such a number. On a refusal *ERROR says why.
    ScriptCallStatus Invoke(const QString& name, const QVariantList& args, QString* error = nullptr) const;

private:
    using Method = std::variant<NoArgs, OneText, OneInt, TwoInts>;
    struct Entry {
        QString name;  // as registered, for listings
        Method method;
    };
    void Insert(const QString& name, Method method);

    QHash<QString, Entry> m_methods;  // by lower-case name
};

// Something with script-callable methods. It carries a liveness token so the
// dispatch and the host controller, which only point at targets they do not
// own, notice when one is destroyed (CTargetRef below).
class CScriptCommandTarget {
public:
    CScriptCommandTarget();
    virtual ~CScriptCommandTarget();
    CScriptCommandTarget(const CScriptCommandTarget&) = delete;
    CScriptCommandTarget& operator=(const CScriptCommandTarget&) = delete;

    const CScriptMethodTable& GetScriptMethods() const { return m_scriptMethods; }

    std::weak_ptr<void> Liveness() const { return m_alive; }

protected:
    CScriptMethodTable m_scriptMethods;

private:
    std::shared_ptr<int> m_alive;
};

// A pointer to a command target that reads as null once the target is gone.
template <typename T>
class CTargetRef {
public:
    CTargetRef() = default;
    explicit CTargetRef(T* target)
        : m_pTarget(target)
    {
        if (target != nullptr)
            m_alive = target->Liveness();
    }

    T* get() const { return m_alive.expired() ? nullptr : m_pTarget; }
    explicit operator bool() const { return get() != nullptr; }
    bool operator==(const T* other) const { return get() == other; }

private:
    T* m_pTarget = nullptr;
    std::weak_ptr<void> m_alive;
};
