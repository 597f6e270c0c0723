#include "database_clock.h"

#include "kit/clock.h"

#include <ctime>
#include <new>

namespace lsp {

uint32_t TickCount()
{
    return nfkit::TickCount();
}

DatabaseClock::FileState DatabaseClock::StateOf(const std::string& path)
{
    FileState state;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return state;
    state.exists = true;
    state.device = info.st_dev;
    state.inode = info.st_ino;
    state.size = info.st_size;
    state.modifiedNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return state;
}

void DatabaseClock::Watch(std::vector<std::string> files, uint32_t pollMs)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_files = std::move(files);
    m_states.clear();
    for (const std::string& file : m_files)
        m_states.push_back(StateOf(file));
    m_pollMs = pollMs;
    m_lastPoll.store(TickCount(), std::memory_order_relaxed);
    // The databases the plug-ins are about to load count as current: a time
    // of 0 is never newer than a load.
    m_changeTick.store(0, std::memory_order_relaxed);
}

uint32_t DatabaseClock::Time()
{
    uint32_t now = TickCount();
    if (now - m_lastPoll.load(std::memory_order_relaxed) < m_pollMs)
        return m_changeTick.load(std::memory_order_acquire);
    // One thread looks at the files; the others go on with the last answer.
    std::unique_lock<std::mutex> guard(m_lock, std::try_to_lock);
    if (!guard.owns_lock())
        return m_changeTick.load(std::memory_order_acquire);
    m_lastPoll.store(now, std::memory_order_relaxed);
    bool changed = false;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        FileState state = StateOf(m_files[i]);
        if (!(state == m_states[i])) {
            m_states[i] = state;
            changed = true;
        }
    }
    if (changed)
        m_changeTick.store(now, std::memory_order_release);
    return m_changeTick.load(std::memory_order_acquire);
}

void DatabaseClock::ResetAfterFork()
{
    new (&m_lock) std::mutex();
}

}  // namespace lsp
