#include <kit/detection_file.h>
#include <kit/file_check.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using nfkit::DetectionRecord;

constexpr const char* kSource = R"(
0x100 1 block|http|html "first-signature"
0x101 2 action1|disarm|nocase "Ab" gap:5 "cd" skip:2 hex:00ff
0x102 1 action2 "tail-record"
)";

std::vector<std::uint8_t> Valid(bool encipher = false)
{
    return nftest::DetectionFile(kSource, encipher);
}

void SetLe32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value)
{
    nfkit::WriteLe32(file.data() + at, value);
}

// Recomputes the CRC after a change, so a test reaches the check it aims at.
void Reseal(std::vector<std::uint8_t>& file)
{
    SetLe32(file, 40, nfkit::Crc32From(file, nfkit::ReadLe32(file.data() + 32)));
}

TEST(DetectionFile, ReadsEveryRecordPlainAndEnciphered)
{
    for (bool encipher : {false, true}) {
        std::vector<DetectionRecord> records;
        ASSERT_EQ(nfkit::ParseDetectionFile(Valid(encipher), records), 3) << encipher;
        EXPECT_EQ(records[0].id, 0x100u);
        EXPECT_EQ(records[1].subId, 2u);
        EXPECT_EQ(records[1].unitCount, 8);
        EXPECT_EQ(records[2].flags & 0xFFF, 0x408u);
    }
}

TEST(DetectionFile, CaseInsensitiveRecordsGetFourStartKeys)
{
    std::vector<DetectionRecord> records;
    ASSERT_EQ(nfkit::ParseDetectionFile(Valid(), records), 3);
    const DetectionRecord& r = records[1];
    EXPECT_EQ(r.keyCount, 4);
    EXPECT_EQ(r.keys[0], 'A' | ('b' << 8));
    EXPECT_EQ(r.keys[1], 'A' | ('B' << 8));
    EXPECT_EQ(r.keys[2], 'a' | ('b' << 8));
    EXPECT_EQ(r.keys[3], 'a' | ('B' << 8));
    EXPECT_EQ(records[0].keyCount, 1);
}

struct Fault {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    int expected;  // result code, or the number of records still read
};

class DetectionFileFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(DetectionFileFaults, AreReportedWithoutReadingPastTheFile)
{
    std::vector<std::uint8_t> file = Valid();
    GetParam().damage(file);
    std::vector<DetectionRecord> records;
    // Parse from an exact-size heap copy so a read past the end is caught by
    // the address sanitizer.
    std::vector<std::uint8_t> exact(file);
    EXPECT_EQ(nfkit::ParseDetectionFile(exact, records), GetParam().expected);
}

const Fault kFaults[] = {
    {"empty", [](auto& f) { f.clear(); }, nfkit::kDetectionBadHeader},
    {"header_cut", [](auto& f) { f.resize(43); }, nfkit::kDetectionBadHeader},
    {"wrong_magic", [](auto& f) { f[0] ^= 1; }, nfkit::kDetectionBadHeader},
    {"crc_mismatch", [](auto& f) { f.back() ^= 0x40; }, nfkit::kDetectionBadCrc},
    {"crc_mismatch_unchecked",
     [](auto& f) {
         SetLe32(f, 20, 0);
         f[44 + 14 + 2] ^= 0x01;  // a pattern byte of the first record
     },
     3},
    {"count_over_limit", [](auto& f) { SetLe32(f, 24, 10001); }, nfkit::kDetectionOutOfRange},
    {"record_size_zero", [](auto& f) { SetLe32(f, 28, 0); }, nfkit::kDetectionOutOfRange},
    {"record_size_over", [](auto& f) { SetLe32(f, 28, 1001); }, nfkit::kDetectionOutOfRange},
    {"region_offset_past_file", [](auto& f) { SetLe32(f, 32, static_cast<std::uint32_t>(f.size() + 1)); },
     nfkit::kDetectionOutOfRange},
    {"region_end_past_file", [](auto& f) { SetLe32(f, 36, static_cast<std::uint32_t>(f.size() + 80)); },
     nfkit::kDetectionOutOfRange},
    {"region_end_before_start",
     [](auto& f) {
         SetLe32(f, 36, 40);
         Reseal(f);
     },
     nfkit::kDetectionOutOfRange},
    {"file_cut_mid_record",
     [](auto& f) {
         f.resize(44 + 80 * 2 + 30);
         SetLe32(f, 36, static_cast<std::uint32_t>(f.size()));
         Reseal(f);
     },
     2},
    {"count_larger_than_region",
     [](auto& f) {
         SetLe32(f, 24, 9999);
         Reseal(f);
     },
     3},
    {"count_smaller_than_region",
     [](auto& f) {
         SetLe32(f, 24, 1);
         Reseal(f);
     },
     1},
    {"unit_count_one",
     [](auto& f) {
         f[44 + 12] = 1;
         Reseal(f);
     },
     2},
    {"unit_count_34",
     [](auto& f) {
         f[44 + 80 + 12] = 34;
         Reseal(f);
     },
     2},
    {"gap_as_second_unit",
     [](auto& f) {
         f[44 + 14 + 3] = 0x80;
         Reseal(f);
     },
     2},
    {"skip_as_first_unit",
     [](auto& f) {
         f[44 + 160 + 15] = 0xC0;
         Reseal(f);
     },
     2},
};

INSTANTIATE_TEST_SUITE_P(Table, DetectionFileFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DetectionFile, EncipheredRegionWithAPartialBlockReadsOnlyWholeRecords)
{
    std::vector<std::uint8_t> file = Valid(/*encipher=*/true);
    // Cut the region inside the last record: its tail is no whole block.
    file.resize(44 + 80 * 2 + 13);
    SetLe32(file, 36, static_cast<std::uint32_t>(file.size()));
    Reseal(file);
    std::vector<DetectionRecord> records;
    ASSERT_EQ(nfkit::ParseDetectionFile(file, records), 2);
    EXPECT_EQ(records[1].id, 0x101u);
}

TEST(DetectionFile, LoadFromPath)
{
    nftest::TempStateRoot root;
    std::vector<DetectionRecord> records;
    EXPECT_EQ(nfkit::LoadDetectionFile((root.path() / "missing.dat").string(), records),
              nfkit::kDetectionCannotOpen);
    nftest::WriteFile(root.path() / "d.dat", Valid(true));
    EXPECT_EQ(nfkit::LoadDetectionFile((root.path() / "d.dat").string(), records), 3);
    EXPECT_EQ(nfkit::LoadDetectionFile(root.path().string(), records), nfkit::kDetectionCannotOpen);
}

}  // namespace
