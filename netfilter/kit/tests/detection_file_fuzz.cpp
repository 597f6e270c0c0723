// The detection file reader on arbitrary bytes: it must never read outside
// them, and every record it returns must be matchable.
#include <kit/detection_file.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<nfkit::DetectionRecord> records;
    const int result = nfkit::ParseDetectionFile({data, size}, records);
    if (result >= 0 && static_cast<std::size_t>(result) != records.size())
        std::abort();
    for (const auto& record : records) {
        if (!nfkit::IsMatchableRecord(record))
            std::abort();
    }
    return 0;
}
