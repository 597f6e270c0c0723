#include "socket_table.h"

#include <new>

namespace lsp {

SocketTable::~SocketTable()
{
    for (auto& entry : m_chunks)
        delete entry.load(std::memory_order_acquire);
}

SocketSlot* SocketTable::Find(int fd) const
{
    if (fd < 0 || fd >= kMaxDescriptor)
        return nullptr;
    Chunk* chunk = m_chunks[fd >> kChunkBits].load(std::memory_order_acquire);
    if (chunk == nullptr)
        return nullptr;
    return &chunk->slots[fd & ((1 << kChunkBits) - 1)];
}

SocketSlot* SocketTable::Get(int fd)
{
    if (fd < 0 || fd >= kMaxDescriptor)
        return nullptr;
    std::atomic<Chunk*>& entry = m_chunks[fd >> kChunkBits];
    Chunk* chunk = entry.load(std::memory_order_acquire);
    if (chunk == nullptr) {
        Chunk* fresh = new (std::nothrow) Chunk;
        if (fresh == nullptr)
            return nullptr;
        int base = (fd >> kChunkBits) << kChunkBits;
        for (int i = 0; i < (1 << kChunkBits); ++i) {
            SocketSlot& slot = fresh->slots[i];
            pthread_mutex_init(&slot.lock, nullptr);
            slot.kind.store(SlotKind::Unknown, std::memory_order_relaxed);
            slot.fd = base + i;
            slot.context = nullptr;
            slot.peer = sockaddr_in{};
            slot.peerKnown = false;
            slot.blockedFlag.store(false, std::memory_order_relaxed);
        }
        // Another thread may have created the chunk meanwhile: keep theirs.
        if (entry.compare_exchange_strong(chunk, fresh, std::memory_order_acq_rel)) {
            chunk = fresh;
        } else {
            delete fresh;
        }
    }
    return &chunk->slots[fd & ((1 << kChunkBits) - 1)];
}

void SocketTable::ResetLocksAfterFork()
{
    for (auto& entry : m_chunks) {
        Chunk* chunk = entry.load(std::memory_order_acquire);
        if (chunk == nullptr)
            continue;
        for (SocketSlot& slot : chunk->slots)
            pthread_mutex_init(&slot.lock, nullptr);
    }
}

}  // namespace lsp
