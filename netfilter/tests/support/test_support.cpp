#include "test_support.h"

#include <database_source.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <zlib.h>

namespace nftest {

TempStateRoot::TempStateRoot()
{
    char pattern[] = "/tmp/kelm-netfilter-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = made;
    if (const char* old = std::getenv("KELM_STATE_ROOT")) {
        m_previous = old;
        m_hadPrevious = true;
    }
    setenv("KELM_STATE_ROOT", m_path.c_str(), 1);
}

TempStateRoot::~TempStateRoot()
{
    if (m_hadPrevious)
        setenv("KELM_STATE_ROOT", m_previous.c_str(), 1);
    else
        unsetenv("KELM_STATE_ROOT");
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string Text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> Gzip(std::string_view text)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(text.size())) + 64);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<nfkit::DetectionRecord> Records(std::string_view source)
{
    std::vector<nfkit::DetectionRecord> records;
    kelmdb::SourceError error;
    EXPECT_TRUE(kelmdb::ParseDetectionSource(source, records, error)) << error.line << ": " << error.message;
    return records;
}

std::vector<std::uint8_t> DetectionFile(std::string_view source, bool encipher)
{
    return kelmdb::WriteDetectionFile(Records(source), kelmdb::WriteOptions{encipher});
}

std::vector<std::uint8_t> SiteFile(std::string_view source, bool encipher)
{
    kelmdb::SiteSource site;
    kelmdb::SourceError error;
    EXPECT_TRUE(kelmdb::ParseSiteSource(source, site, error)) << error.line << ": " << error.message;
    return kelmdb::WriteSiteFile(site, kelmdb::WriteOptions{encipher});
}

std::vector<std::vector<std::uint8_t>> Split(const std::vector<std::uint8_t>& data,
                                             const std::vector<std::size_t>& pattern)
{
    std::vector<std::vector<std::uint8_t>> pieces;
    std::size_t at = 0;
    for (std::size_t i = 0; at < data.size(); ++i) {
        const std::size_t n = std::min(pattern[i % pattern.size()], data.size() - at);
        pieces.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at),
                            data.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    }
    return pieces;
}

struct sockaddr_in Address(std::uint32_t hostOrderAddress, std::uint16_t port)
{
    struct sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return address;
}

}  // namespace nftest
