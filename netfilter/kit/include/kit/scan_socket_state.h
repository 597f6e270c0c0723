// What the exploit filter keeps per socket between receives: the response's
// classification, the carry-overs of the three views, the inflater and the
// normaliser, and the progress of group signatures. Every send resets it, so
// each response is scanned afresh.
#pragma once

#include "kit/byte_buffer.h"
#include "kit/gzip_inflater.h"
#include "kit/normaliser.h"
#include "kit/scan_view.h"

#include <kelm/netfilter_plugin.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// Progress of the group signatures seen on one stream.
class CStreamGroupDetection {
public:
    struct GroupProgress {
        std::uint32_t id = 0;
        bool ordered = false;
        std::uint32_t expected = 0;  // unordered: bit mask of members; ordered: member count
        std::uint32_t progress = 0;
    };

    virtual ~CStreamGroupDetection() = default;
    virtual void Reset();

    GroupProgress* Find(std::uint32_t id);
    GroupProgress& Add(std::uint32_t id, bool ordered, std::uint32_t expected);
    const std::vector<GroupProgress>& Groups() const { return m_groups; }

private:
    std::vector<GroupProgress> m_groups;
};

class CScanSocketState : public CStreamGroupDetection {
public:
    static constexpr std::size_t kRequestUrlSize = 1024;

    explicit CScanSocketState(KelmSocket socket) : m_socket(socket) {}

    // Clears everything but the socket: classification, flags, carry-overs,
    // output stores, group progress, pending escape text and the inflater.
    void Reset() override;

    KelmSocket Socket() const { return m_socket; }

    char requestUrl[kRequestUrlSize] = {};
    bool firstBufferDone = false;
    std::uint32_t classification = 0;
    bool noScan = false;

    nfkit::CarryOver rawCarry;
    nfkit::CarryOver inflatedCarry;
    nfkit::CarryOver normalisedCarry;

    // Created on first use.
    std::unique_ptr<nfkit::GzipInflater> inflater;
    std::size_t deflateOffset = 0;  // of the deflate data in the first buffer (0 until found)
    std::unique_ptr<nfkit::Normaliser> normaliser;
    std::unique_ptr<CByteBufferStore> inflatedStore;
    std::unique_ptr<CByteBufferStore> normalisedStore;

    // A private copy of an outgoing buffer the filter had to change; the host
    // sends from it until the next call on this socket.
    std::vector<std::uint8_t> sendCopy;

    // Views rebuilt on every receive, kept here to reuse their memory.
    nfkit::ScanView rawView;
    nfkit::ScanView inflatedView;
    nfkit::ScanView normalisedView;

private:
    KelmSocket m_socket;
};

namespace nfkit {

// The exploit filter's socket states, one per socket, created on first use.
// The lock is held only while finding, creating or removing a state; a state
// is then used by the one thread the host runs that socket's calls on.
class ScanSocketList {
public:
    // Null only when memory ran out.
    CScanSocketState* FindOrCreate(KelmSocket socket);
    void Remove(KelmSocket socket);
    void Clear();
    std::size_t Size() const;

private:
    mutable std::mutex m_lock;
    std::unordered_map<KelmSocket, std::unique_ptr<CScanSocketState>> m_states;
};

}  // namespace nfkit
