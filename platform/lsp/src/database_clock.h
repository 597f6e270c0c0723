// The database time the shim gives the plug-ins: the millisecond tick count
// at which it last saw one of the database files change.
//
// The plug-ins reload when this time is newer than their last load, so
// replacing a database file (a new file renamed over the old one, or the old
// one rewritten) reloads it in every running program. The files are looked
// at no more often than once per poll interval, so the hot paths do not pay a
// stat() per call.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace lsp {

// Milliseconds since boot, cut to 32 bits: the plug-ins' own tick count.
uint32_t TickCount();

class DatabaseClock {
public:
    // FILES: the database files to watch (missing ones are watched too: a
    // file that appears counts as a change).
    void Watch(std::vector<std::string> files, uint32_t pollMs);

    // The tick of the last change seen; looks at the files when the poll
    // interval has passed.
    uint32_t Time();

    // After fork(): a lock held by another thread of the parent is dropped.
    void ResetAfterFork();

private:
    struct FileState {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modifiedNs = 0;
        bool operator==(const FileState&) const = default;
    };
    static FileState StateOf(const std::string& path);

    std::vector<std::string> m_files;
    std::vector<FileState> m_states;
    uint32_t m_pollMs = 1000;
    std::atomic<uint32_t> m_changeTick{0};
    std::atomic<uint32_t> m_lastPoll{0};
    std::mutex m_lock;
};

}  // namespace lsp
