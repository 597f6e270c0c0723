// The detection file reader on arbitrary bytes: it must never read outside
// them, and every record it returns must be matchable. Each input is read
// twice: as it is, and with the CRC flag cleared so that changed bytes reach
// the record reading instead of stopping at the checksum.
#include <kit/detection_file.h>

#include <cstdlib>
#include <memory>
#include <cstring>

static void Check(const std::uint8_t* data, std::size_t size)
{
    std::vector<nfkit::DetectionRecord> records;
    const int result = nfkit::ParseDetectionFile({data, size}, records);
    if (result >= 0 && static_cast<std::size_t>(result) != records.size())
        std::abort();
    for (const auto& record : records) {
        if (!nfkit::IsMatchableRecord(record))
            std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Check(data, size);
    if (size >= 24) {
        std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
        std::memcpy(copy.get(), data, size);
        copy[21] &= ~0x01;  // flag 0x100
        Check(copy.get(), size);
    }
    return 0;
}
