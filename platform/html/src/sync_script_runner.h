// Runs script in a page and waits for its answer: a nested event loop that
// skips user input, bounded by a time-out. See html_document.h for the rules.
#pragma once

#include "servicelink/html/html_call_result.h"

#include <QObject>
#include <QString>

class QWebEnginePage;

// Counts the synchronous calls in progress on this (the GUI) thread, so that
// calls from page script can be held back until the outermost one is over.
class CSyncCallGate : public QObject {
    Q_OBJECT
public:
    static CSyncCallGate& Instance();
    bool Busy() const { return m_depth > 0; }
    void Enter() { ++m_depth; }
    void Leave();

signals:
    // The outermost synchronous call has returned.
    void released();

private:
    int m_depth = 0;
};

// The script world of the host's element operations: isolated from the
// page's own script, shared DOM.
inline constexpr unsigned kElementWorldId = 7301;

// Runs SOURCE in WORLDID of PAGE and waits at most TIMEOUTMS. SOURCE must
// evaluate to {ok: true, value} or {ok: false, status, message}; anything else
// is a script error.
CHtmlCallResult RunScriptSynchronously(QWebEnginePage* page, const QString& source, unsigned worldId, int timeoutMs);
