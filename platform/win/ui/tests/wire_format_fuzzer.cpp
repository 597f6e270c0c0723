// Feeds arbitrary bytes to the window server's frame splitter and decoders,
// as a hostile peer would.
#include "wire_format.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace win::detail::wire;
    QByteArray buffer(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QByteArray payload;
    while (TakeFrame(buffer, payload) == Split::Frame) {
        if (std::optional<Request> request = DecodeRequest(payload))
            DecodeRequest(QByteArrayView(EncodeRequest(*request)).sliced(4));
        DecodeReply(payload);
    }
    return 0;
}
