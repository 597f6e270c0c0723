// Reads the target of an HTTP request from the buffers of one send.
//
// The site filter looks up every GET and PUT request whose headers are
// complete within one send: the request URL is the Host header's value
// followed by the request path. The bytes are the application's outgoing
// data and are only read, never trusted: every length is bounded here.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <cstdint>
#include <span>
#include <string>

namespace hostfilter {

// Classification of the first bytes of a send.
enum RequestClass : uint32_t {
    kRequestNone = 0,
    kRequestGet = 1,
    kRequestPut = 2,
    kResponse = 4,
    kHeadersComplete = 0x100,  // "\r\n\r\n" occurs in the send
};

// The longest request URL kept, in bytes.
inline constexpr std::size_t kMaxRequestUrlLength = 1023;
// The request line is read only this far.
inline constexpr std::size_t kMaxRequestLineLength = 512;

struct ParsedRequest {
    uint32_t classification = kRequestNone;
    std::string host;  // the last Host header's value
    std::string path;  // the request target as sent
    std::string url;   // host followed by path, or empty when either is missing
};

// Parses the first BYTECOUNT bytes of BUFFERS. A buffer with a null data
// pointer counts as empty.
ParsedRequest ParseRequest(std::span<const FilterBuffer> buffers, uint32_t byteCount);

}  // namespace hostfilter
