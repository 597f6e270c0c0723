#include "detection_database.h"

namespace hazard {

using nfkit::DetectionRecord;

namespace {
constexpr std::uint32_t kClassBits[5] = {nfkit::kStreamHttp, nfkit::kStreamMail, nfkit::kStreamHtml,
                                         nfkit::kStreamImage, nfkit::kStreamGzip};
constexpr std::uint32_t kAllClassBits =
    nfkit::kStreamHttp | nfkit::kStreamMail | nfkit::kStreamHtml | nfkit::kStreamImage | nfkit::kStreamGzip;

std::uint64_t IdSubKey(std::uint32_t id, std::uint32_t subId)
{
    return (std::uint64_t(id) << 32) | subId;
}
}  // namespace

bool RecordApplies(std::uint32_t flags, std::uint32_t classification, int pass)
{
    if (classification == 0)
        return flags <= 0xFFF;
    if (classification == nfkit::kClassifyAll)
        return true;
    const std::uint32_t recordProtocol = flags & nfkit::kFlagProtocolMask;
    if (recordProtocol == 0)
        return (classification & nfkit::kStreamMail) == 0;
    if (recordProtocol != (classification & nfkit::kFlagProtocolMask))
        return false;
    const std::uint32_t recordContent = flags & nfkit::kFlagContentMask;
    const std::uint32_t streamContent = classification & nfkit::kFlagContentMask;
    if (recordContent == 0)
        return true;
    return pass == 0 ? (recordContent & streamContent) != 0 : recordContent == streamContent;
}

DetectionDatabase::DetectionDatabase(std::vector<DetectionRecord> records) : m_records(std::move(records))
{
    for (std::uint32_t i = 0; i < m_records.size(); ++i)
        m_byIdSub.emplace(IdSubKey(m_records[i].id, m_records[i].subId), i);  // the first one wins

    for (std::size_t i = 0; i < m_records.size(); ++i) {
        const std::uint32_t id = m_records[i].id;
        if (m_groupMembers.count(id))
            continue;
        std::uint32_t members = 0;
        for (std::size_t j = i; j < m_records.size() && m_records[j].id == id; ++j) {
            if ((m_records[j].flags & nfkit::kFlagAuxiliary) == 0)
                ++members;
        }
        m_groupMembers.emplace(id, members);
    }
}

DetectionDatabase::~DetectionDatabase()
{
    for (auto& slot : m_indexes)
        delete slot.load(std::memory_order_relaxed);
}

void DetectionDatabase::Prepare() const
{
    using namespace nfkit;
    for (std::uint32_t classification :
         {0u, kStreamHttp, kStreamHttp | kStreamHtml, kStreamGzipHtml, kStreamHttp | kStreamImage}) {
        IndexFor(classification, 0);
        if (classification & kStreamHtml)
            IndexFor(classification, 1);
    }
}

int DetectionDatabase::SlotOf(std::uint32_t classification, int pass)
{
    if ((classification & ~kAllClassBits) != 0 || pass < 0 || pass > 1)
        return -1;
    int slot = 0;
    for (int b = 0; b < 5; ++b) {
        if (classification & kClassBits[b])
            slot |= 1 << b;
    }
    return slot * 2 + pass;
}

const SignatureIndex& DetectionDatabase::IndexFor(std::uint32_t classification, int pass) const
{
    const int slot = SlotOf(classification, pass);
    if (slot >= 0) {
        if (const SignatureIndex* ready = m_indexes[slot].load(std::memory_order_acquire))
            return *ready;
    }
    std::lock_guard<std::mutex> guard(m_buildLock);
    if (slot >= 0) {
        if (const SignatureIndex* ready = m_indexes[slot].load(std::memory_order_acquire))
            return *ready;
    } else {
        auto it = m_otherIndexes.find(IdSubKey(classification, static_cast<std::uint32_t>(pass)));
        if (it != m_otherIndexes.end())
            return *it->second;
    }
    auto index = std::make_unique<SignatureIndex>(SignatureIndex::Build(
        m_records, [&](const DetectionRecord& r) { return RecordApplies(r.flags, classification, pass); }));
    const SignatureIndex* built = index.get();
    if (slot >= 0)
        m_indexes[slot].store(index.release(), std::memory_order_release);
    else
        m_otherIndexes.emplace(IdSubKey(classification, static_cast<std::uint32_t>(pass)), std::move(index));
    return *built;
}

const DetectionRecord* DetectionDatabase::Find(std::uint32_t id, std::uint32_t subId) const
{
    auto it = m_byIdSub.find(IdSubKey(id, subId));
    return it == m_byIdSub.end() ? nullptr : &m_records[it->second];
}

std::uint32_t DetectionDatabase::GroupMembers(std::uint32_t id) const
{
    auto it = m_groupMembers.find(id);
    return it == m_groupMembers.end() ? 0 : it->second;
}

}  // namespace hazard
