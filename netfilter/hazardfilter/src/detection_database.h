// One loaded detection table with everything derived from it once per load:
// the matcher's indexes (one per stream class and pass, built on first use),
// the record of each (identifier, sub-identifier) and each group's size.
// Immutable once published; shared by every scanning thread through a
// shared_ptr, so a reload never frees a table a scan is still using.
#pragma once

#include "signature_index.h"

#include <kit/detection_record.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace hazard {

// Whether a record with flag word FLAGS applies to a stream of class
// CLASSIFICATION in PASS (0 first pass, 1 normalised pass).
bool RecordApplies(std::uint32_t flags, std::uint32_t classification, int pass);

class DetectionDatabase {
public:
    explicit DetectionDatabase(std::vector<nfkit::DetectionRecord> records);
    ~DetectionDatabase();
    DetectionDatabase(const DetectionDatabase&) = delete;
    DetectionDatabase& operator=(const DetectionDatabase&) = delete;

    const std::vector<nfkit::DetectionRecord>& Records() const { return m_records; }
    bool Empty() const { return m_records.empty(); }

    // Builds the indexes of the common stream classes (plain, HTTP, HTML and
    // gzip HTML responses, both passes), so receives do not wait for them.
    void Prepare() const;

    // The index of the records that apply to CLASSIFICATION in PASS.
    const SignatureIndex& IndexFor(std::uint32_t classification, int pass) const;

    // The first record with this identifier and sub-identifier, or null.
    const nfkit::DetectionRecord* Find(std::uint32_t id, std::uint32_t subId) const;
    // The members of group ID: the records with that identifier from its first
    // one on, auxiliary members not counted.
    std::uint32_t GroupMembers(std::uint32_t id) const;

private:
    static constexpr int kClassSlots = 32;  // every combination of the five class bits
    static int SlotOf(std::uint32_t classification, int pass);

    std::vector<nfkit::DetectionRecord> m_records;
    std::unordered_map<std::uint64_t, std::uint32_t> m_byIdSub;
    std::unordered_map<std::uint32_t, std::uint32_t> m_groupMembers;

    mutable std::mutex m_buildLock;
    mutable std::array<std::atomic<const SignatureIndex*>, kClassSlots * 2> m_indexes{};
    // Indexes for unusual classifications, kept for the life of the table.
    mutable std::unordered_map<std::uint64_t, std::unique_ptr<SignatureIndex>> m_otherIndexes;
};

}  // namespace hazard
