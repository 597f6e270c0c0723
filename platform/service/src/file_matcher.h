// Matches one file against the file items of the definitions: its name, the
// content patterns in its first bytes and its SHA-256. Built once per scan;
// matching is read-only, so one matcher may serve several threads, each
// with its own buffer.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "definitions.h"

namespace korvad {

struct FileHit {
    const Package* package;
    const DefinitionItem* item;
};

class FileMatcher {
public:
    FileMatcher(const Definitions& definitions, std::uint64_t maxBytes);

    // True when reading the content could find anything (content or hash
    // items exist); otherwise a scan needs names only.
    bool NeedsContent() const { return !m_patterns.empty() || !m_hashes.empty(); }

    // Matches the open regular file FD of SIZE bytes named NAME (its last
    // path part). BUFFER is the caller's scratch space. Read errors end the
    // read early; what was read is still matched. Returns the bytes read.
    std::uint64_t Match(int fd, std::uint64_t size, std::string_view name, std::vector<std::uint8_t>& buffer,
                        std::vector<FileHit>& hits) const;

    // Matches by name only.
    void MatchName(std::string_view name, std::vector<FileHit>& hits) const;

private:
    struct Pattern {
        std::vector<std::uint8_t> bytes;
        FileHit hit;
    };
    struct Hash {
        DefinitionItem::hash_t digest;
        FileHit hit;
    };
    std::uint64_t m_maxBytes;
    std::size_t m_longestPattern = 0;
    std::vector<Pattern> m_patterns;
    std::vector<Hash> m_hashes;
    bool m_hashAnySize = false;
    std::set<std::uint64_t> m_hashSizes;
    std::multimap<std::string, FileHit> m_names;
};

}  // namespace korvad
