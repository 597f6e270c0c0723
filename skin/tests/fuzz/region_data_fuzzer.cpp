// Region data from layout authors: any bytes must be refused or read
// within bounds, never crash.
#include "skin/regions.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (auto region = skin::RegionFromData(bytes))
        (void)skin::RegionToData(*region);
    return 0;
}
