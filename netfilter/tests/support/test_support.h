// Helpers shared by the netfilter tests, fuzz targets and benchmark: a
// private state root, files, gzip bodies, detection tables built from kelmdb
// source text, and receive buffers.
#pragma once

#include <kit/detection_record.h>

#include <kelm/netfilter_plugin.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace nftest {

// A fresh folder, made the state root (KELM_STATE_ROOT) while it lives.
class TempStateRoot {
public:
    TempStateRoot();
    ~TempStateRoot();
    TempStateRoot(const TempStateRoot&) = delete;
    TempStateRoot& operator=(const TempStateRoot&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
};

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> Bytes(std::string_view text);
std::string Text(const std::vector<std::uint8_t>& bytes);

// A gzip member (RFC 1952) holding TEXT.
std::vector<std::uint8_t> Gzip(std::string_view text);

// Records from kelmdb source text; fails the calling test on a source error.
std::vector<nfkit::DetectionRecord> Records(std::string_view source);
// A whole detection file from kelmdb source text.
std::vector<std::uint8_t> DetectionFile(std::string_view source, bool encipher = false);
// A whole site database file from kelmdb source text.
std::vector<std::uint8_t> SiteFile(std::string_view source, bool encipher = false);

// Splits DATA into pieces of the sizes in PATTERN (repeated), e.g. {1} for
// single bytes, {3, 1} for 3, 1, 3, 1, ...
std::vector<std::vector<std::uint8_t>> Split(const std::vector<std::uint8_t>& data, const std::vector<std::size_t>& pattern);

// A loopback address with PORT.
struct sockaddr_in Address(std::uint32_t hostOrderAddress, std::uint16_t port);

}  // namespace nftest
