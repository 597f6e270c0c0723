// The shim's record of every descriptor it has looked at.
//
// A slot per descriptor number, found without a lock: a two-level table of
// chunks that are created on first use and never freed, so a slot pointer
// stays valid for the life of the process. A slot's mutex serialises the
// plug-in calls for its socket (the plug-ins keep per-socket state without
// locks of their own); the socket calls themselves run outside it.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <netinet/in.h>
#include <pthread.h>

#include <atomic>
#include <cstdint>

namespace lsp {

enum class SlotKind : uint8_t {
    Unknown = 0,  // never looked at, or closed since
    Tracked,      // an IPv4 TCP socket with a context
    Ignored,      // looked at: not an IPv4 TCP socket
};

struct SocketSlot {
    pthread_mutex_t lock;               // held while the plug-ins work on this socket
    std::atomic<SlotKind> kind;         // read without the lock on every call
    int fd;
    SocketContext* context;             // while Tracked; changed only under the lock
    sockaddr_in peer;                   // the connect or accept address
    bool peerKnown;
    std::atomic<bool> blockedFlag;      // a plug-in refused a call: refuse every later one
};

class SocketTable {
public:
    // Descriptors from 0 to kMaxDescriptor - 1 can be tracked.
    static constexpr int kChunkBits = 10;
    static constexpr int kChunkCount = 4096;
    static constexpr int kMaxDescriptor = kChunkCount << kChunkBits;

    SocketTable() = default;
    // The process's table lives until the process ends; only tests destroy one.
    ~SocketTable();
    SocketTable(const SocketTable&) = delete;
    SocketTable& operator=(const SocketTable&) = delete;

    // The slot of FD, or null when it has none yet (or FD is out of range).
    SocketSlot* Find(int fd) const;
    // The slot of FD, created when missing; null only when FD is out of range
    // or memory ran out.
    SocketSlot* Get(int fd);

    // After fork(): the child has only the forking thread, so a slot lock held
    // by another thread of the parent would never be released.
    void ResetLocksAfterFork();

private:
    struct Chunk {
        SocketSlot slots[1 << kChunkBits];
    };
    std::atomic<Chunk*> m_chunks[kChunkCount] = {};
};

// Tracked slots: the context's and slot's lock owner.
class SlotLock {
public:
    explicit SlotLock(SocketSlot* slot) : m_slot(slot) { pthread_mutex_lock(&m_slot->lock); }
    ~SlotLock() { pthread_mutex_unlock(&m_slot->lock); }
    SlotLock(const SlotLock&) = delete;
    SlotLock& operator=(const SlotLock&) = delete;

private:
    SocketSlot* m_slot;
};

}  // namespace lsp
