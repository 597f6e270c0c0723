// The outcome of one synchronous call into a page: a page script function,
// or an element operation. Calls never throw; they answer with a status, the
// value the page returned, and a message that says what went wrong.
#pragma once

#include <QString>
#include <QVariant>

enum class HtmlCallStatus {
    Ok,
    NoDocument,       // no page is bound, or the page is gone
    DocumentChanged,  // the page now shows another document than the one bound
    NoElement,        // no element with that id, name or reference
    WrongElement,     // the element exists but cannot do this (a check on a div)
    NoFunction,       // the page has no script function of that name
    ScriptError,      // the page's function threw
    BadInput,         // the caller's input cannot be sent (a function name that is no identifier)
    TimedOut,         // the page did not answer within the call time-out
    Unresponsive,     // an earlier call timed out and the page has not answered it yet
    WrongThread,      // called from a thread other than the page's own
};

// "time-out", "no element", ...: how logs and tests name a status.
QString HtmlCallStatusName(HtmlCallStatus status);

struct CHtmlCallResult {
    HtmlCallStatus status = HtmlCallStatus::NoDocument;
    QVariant value;   // what the page answered (Ok only)
    QString message;  // what went wrong, for the log (empty when Ok)

    bool ok() const { return status == HtmlCallStatus::Ok; }
};
