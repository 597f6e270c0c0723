#include "file_matcher.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace korvad {

namespace {

constexpr std::size_t kChunkBytes = 256u << 10;

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

FileMatcher::FileMatcher(const Definitions& definitions, std::uint64_t maxBytes) : m_maxBytes(maxBytes)
{
    for (const Package& package : definitions.packages) {
        for (const DefinitionItem& item : package.items) {
            const FileHit hit{&package, &item};
            switch (item.kind) {
            case MatchKind::Content:
                m_patterns.push_back({item.bytes, hit});
                m_longestPattern = std::max(m_longestPattern, item.bytes.size());
                break;
            case MatchKind::Sha256:
                m_hashes.push_back({item.sha256, hit});
                if (item.size)
                    m_hashSizes.insert(*item.size);
                else
                    m_hashAnySize = true;
                break;
            case MatchKind::FileName:
                m_names.emplace(item.text, hit);
                break;
            default:
                break;
            }
        }
    }
}

void FileMatcher::MatchName(std::string_view name, std::vector<FileHit>& hits) const
{
    if (m_names.empty())
        return;
    const auto [first, last] = m_names.equal_range(Lower(name));
    for (auto it = first; it != last; ++it)
        hits.push_back(it->second);
}

std::uint64_t FileMatcher::Match(int fd, std::uint64_t size, std::string_view name, std::vector<std::uint8_t>& buffer,
                                 std::vector<FileHit>& hits) const
{
    MatchName(name, hits);
    if (!NeedsContent() || size == 0)
        return 0;
    const std::uint64_t limit = std::min(size, m_maxBytes);
    // A hash is worth computing only for a file that could have it: one of
    // the sizes the hash items name, and read whole.
    const bool wantHash =
        !m_hashes.empty() && size <= m_maxBytes && (m_hashAnySize || m_hashSizes.count(size) != 0);
    if (m_patterns.empty() && !wantHash)
        return 0;

    const std::size_t overlap = m_longestPattern > 0 ? m_longestPattern - 1 : 0;
    if (buffer.size() < kChunkBytes + overlap)
        buffer.resize(kChunkBytes + overlap);
    std::vector<bool> found(m_patterns.size(), false);
    std::size_t remaining = m_patterns.size();
    sha256_ctx hash;
    sha256_init(&hash);
    std::uint64_t total = 0;
    std::size_t kept = 0;  // bytes carried over from the previous chunk
    while (total < limit) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, limit - total));
        const ssize_t got = ::read(fd, buffer.data() + kept, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        const std::size_t n = static_cast<std::size_t>(got);
        if (wantHash)
            sha256_update(&hash, n, buffer.data() + kept);
        total += n;
        const std::size_t filled = kept + n;
        if (remaining > 0) {
            for (std::size_t i = 0; i < m_patterns.size(); ++i) {
                if (found[i])
                    continue;
                const auto& bytes = m_patterns[i].bytes;
                if (filled >= bytes.size() && ::memmem(buffer.data(), filled, bytes.data(), bytes.size()) != nullptr) {
                    found[i] = true;
                    --remaining;
                    hits.push_back(m_patterns[i].hit);
                }
            }
        }
        if (remaining == 0 && !wantHash)
            break;
        kept = std::min(overlap, filled);
        std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
    }
    if (wantHash && total == size) {
        DefinitionItem::hash_t digest{};
        sha256_digest(&hash, digest.size(), digest.data());
        for (const Hash& h : m_hashes)
            if (h.digest == digest && (!h.hit.item->size || *h.hit.item->size == size))
                hits.push_back(h.hit);
    }
    return total;
}

}  // namespace korvad
