// Classification of a received stream from its first buffer: HTTP response,
// mail port, and the content type and encoding the response headers declare.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <cstdint>
#include <span>

namespace nfkit {

struct DetectionRecord;

// The built-in header patterns (identifier 0, case-insensitive): a match adds
// the upper 16 bits of the pattern's flag word to the classification.
std::span<const DetectionRecord> HeaderPatterns();

// True for the mail ports 110, 143, 993 and 995 (PORT in host order).
bool IsMailPort(std::uint16_t port);

// The classification of a receive: 0x2000 for a mail port; then, for the
// first buffer of at least 16 bytes (cut to BYTES in all), 0x1000 when it
// begins with "HTTP" plus the classes of the header patterns found in its
// first 1024 bytes. REMOTE may be null.
std::uint32_t ClassifyFirstBuffer(const FilterBuffer* buffers, std::uint32_t count, std::size_t bytes,
                                  const struct sockaddr_in* remote);

}  // namespace nfkit
