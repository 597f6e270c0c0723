// Blocking calls from one thread into another: how SendMessage crosses
// threads.
//
// Each thread that takes part has an inbox. A caller puts a call into the
// target thread's inbox and nudges that thread with a queued Qt call, which
// any event loop of the target thread runs (QDialog::exec and other nested
// loops included). The caller then waits on its own inbox, running calls
// that arrive for its own thread in the meantime, so two threads that send to
// each other's windows do not deadlock, as on Windows.
#pragma once

#include "win/types.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QThread;

namespace win::detail {

class ThreadInbox;

struct CrossThreadCall {
    std::function<LRESULT()> work;           // runs on the target thread
    std::uint32_t windowNumber = 0;           // the window it is for (0: none)
    std::shared_ptr<ThreadInbox> replyTo;     // the caller's inbox, woken when done
    // Guarded by replyTo's mutex:
    bool done = false;
    bool cancelled = false;
    LRESULT result = 0;
};

class ThreadInbox : public std::enable_shared_from_this<ThreadInbox> {
public:
    // The inbox of THREAD (created on first use).
    static std::shared_ptr<ThreadInbox> Of(QThread* thread);
    static std::shared_ptr<ThreadInbox> Current();

    // Queues CALL and wakes the thread if it is waiting in Wait.
    void Push(const std::shared_ptr<CrossThreadCall>& call);

    // Runs every queued call (on the inbox's own thread).
    void Drain();

    // Completes the queued calls for window number N with 0 without running
    // them (the window is gone).
    void CancelWindow(std::uint32_t windowNumber);

    // Waits on the calling thread's own inbox until CALL is done, running
    // calls that arrive meanwhile. False when DEADLINE passed first.
    bool Wait(const std::shared_ptr<CrossThreadCall>& call,
              std::optional<std::chrono::steady_clock::time_point> deadline);

    // Takes CALL out of the queue when it is still there (not yet started).
    bool Withdraw(const std::shared_ptr<CrossThreadCall>& call);

    // Marks CALL (waited for on this inbox) done and wakes the waiter; a
    // second completion is ignored.
    void Finish(const std::shared_ptr<CrossThreadCall>& call, LRESULT result, bool cancelled);

private:
    std::shared_ptr<CrossThreadCall> PopOne();

    std::mutex m_mutex;
    std::condition_variable m_cvWake;
    std::deque<std::shared_ptr<CrossThreadCall>> m_queue;
};

// Queues FN on the target thread (a queued Qt call through an object living
// there); false when that object is gone.
using Nudger = std::function<bool(const std::function<void()>& fn)>;

// Runs WORK on TARGET's thread and waits for it (without limit when
// TIMEOUT_MS is negative), handling calls into the calling thread meanwhile.
// NUDGE queues the target thread's drain. Returns the result; nothing on
// time-out, or when the window the call was for died first (CANCELLED is
// set then).
std::optional<LRESULT> CallOnThread(QThread* target, const Nudger& nudge, std::uint32_t windowNumber,
                                    std::function<LRESULT()> work, int timeoutMs,
                                    bool* cancelled = nullptr);

}  // namespace win::detail
