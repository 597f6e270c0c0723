#include "thread_inbox.h"

#include <QThread>

#include <unordered_map>
#include <vector>

namespace win::detail {
namespace {

struct InboxRegistry {
    std::mutex mutex;
    std::unordered_map<QThread*, std::shared_ptr<ThreadInbox>> inboxes;
};

InboxRegistry& Registry()
{
    static InboxRegistry* registry = new InboxRegistry;
    return *registry;
}

void Run(const std::shared_ptr<CrossThreadCall>& call)
{
    LRESULT result = call->work ? call->work() : 0;
    call->replyTo->Finish(call, result, /*cancelled=*/false);
}

}  // namespace

std::shared_ptr<ThreadInbox> ThreadInbox::Of(QThread* thread)
{
    InboxRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    std::shared_ptr<ThreadInbox>& slot = registry.inboxes[thread];
    if (!slot)
        slot = std::make_shared<ThreadInbox>();
    return slot;
}

std::shared_ptr<ThreadInbox> ThreadInbox::Current()
{
    return Of(QThread::currentThread());
}

void ThreadInbox::Push(const std::shared_ptr<CrossThreadCall>& call)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(call);
    }
    m_cvWake.notify_all();
}

std::shared_ptr<CrossThreadCall> ThreadInbox::PopOne()
{
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return nullptr;
    std::shared_ptr<CrossThreadCall> call = std::move(m_queue.front());
    m_queue.pop_front();
    return call;
}

void ThreadInbox::Drain()
{
    // One at a time: a call may run a nested event loop that drains too.
    while (std::shared_ptr<CrossThreadCall> call = PopOne())
        Run(call);
}

bool ThreadInbox::Withdraw(const std::shared_ptr<CrossThreadCall>& call)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (*it == call) {
            m_queue.erase(it);
            return true;
        }
    }
    return false;
}

void ThreadInbox::CancelWindow(std::uint32_t windowNumber)
{
    std::vector<std::shared_ptr<CrossThreadCall>> cancelled;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_queue.begin(); it != m_queue.end();) {
            if ((*it)->windowNumber == windowNumber) {
                cancelled.push_back(std::move(*it));
                it = m_queue.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const std::shared_ptr<CrossThreadCall>& call : cancelled)
        call->replyTo->Finish(call, 0, /*cancelled=*/true);
}

void ThreadInbox::Finish(const std::shared_ptr<CrossThreadCall>& call, LRESULT result, bool cancelled)
{
    {
        std::lock_guard lock(m_mutex);
        if (call->done)
            return;
        call->done = true;
        call->cancelled = cancelled;
        call->result = result;
    }
    m_cvWake.notify_all();
}

bool ThreadInbox::Wait(const std::shared_ptr<CrossThreadCall>& call,
                       std::optional<std::chrono::steady_clock::time_point> deadline)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (call->done)
            return true;
        if (!m_queue.empty()) {
            // A call into this thread (another thread sending to one of our
            // windows while we wait for it): run it now, as Windows does.
            std::shared_ptr<CrossThreadCall> incoming = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            Run(incoming);
            lock.lock();
            continue;
        }
        if (!deadline) {
            m_cvWake.wait(lock);
        } else if (m_cvWake.wait_until(lock, *deadline) == std::cv_status::timeout) {
            if (!call->done && m_queue.empty())
                return false;
        }
    }
}

std::optional<LRESULT> CallOnThread(QThread* target, const Nudger& nudge, std::uint32_t windowNumber,
                                    std::function<LRESULT()> work, int timeoutMs, bool* cancelled)
{
    if (cancelled != nullptr)
        *cancelled = false;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (timeoutMs >= 0)
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);

    std::shared_ptr<ThreadInbox> self = ThreadInbox::Current();
    auto call = std::make_shared<CrossThreadCall>();
    call->work = std::move(work);
    call->windowNumber = windowNumber;
    call->replyTo = self;

    std::shared_ptr<ThreadInbox> inbox = ThreadInbox::Of(target);
    inbox->Push(call);
    if (!nudge([inbox] { inbox->Drain(); })) {
        // The object that would have woken the thread is gone (the window
        // died). Unless the thread already took the call, nobody runs it.
        if (inbox->Withdraw(call)) {
            if (cancelled != nullptr)
                *cancelled = true;
            return std::nullopt;
        }
    }
    if (!self->Wait(call, deadline))
        return std::nullopt;
    // call->done is set; its fields no longer change.
    if (call->cancelled) {
        if (cancelled != nullptr)
            *cancelled = true;
        return std::nullopt;
    }
    return call->result;
}

}  // namespace win::detail
