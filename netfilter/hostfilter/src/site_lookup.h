// The site black list in memory: five tables built once per database load
// and then only read, by any number of threads at once.
//
//   addresses and /24 networks  - sorted 32-bit values, found by equality;
//   domains and host names      - sorted lower-case texts, found by equality;
//   URLs                        - sorted lower-case texts; an entry is found
//                                 when it occurs anywhere inside the key.
//
// The URL search looks at every position of the key, so no listed entry that
// occurs in the key can be missed; a bitmap of the entries' first four bytes
// (hashed) skips the positions where no entry can start, which keeps a lookup
// cheap on a table of half a million entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostfilter {

enum class SiteTable : uint8_t { Address = 0, Network = 1, Domain = 2, HostName = 3, Url = 4 };
inline constexpr int kSiteTableCount = 5;

struct SiteCategory {
    uint16_t id = 0;
    uint8_t defaultLevel = 0;
    std::string type;
    std::string name;
};

// One entry that a lookup found.
struct SiteMatch {
    SiteTable table = SiteTable::Address;
    uint8_t level = 0;         // the entry's own level (0: the category's default applies)
    uint16_t category = 0;
    uint32_t address = 0;      // address tables
    std::string_view text;     // text tables; points into the lookup, valid while it lives
};

class SiteLookup {
public:
    // Collects the entries of one or more databases, then sorts them.
    class Builder {
    public:
        void AddCategory(uint16_t id, uint8_t defaultLevel, std::string_view type, std::string_view name);
        // TABLE must be Address or Network.
        void AddAddress(SiteTable table, uint32_t address, uint8_t level, uint16_t category);
        // TABLE must be Domain, HostName or Url. The text is lower-cased and a
        // trailing "/" or "\" removed; an empty text is not added.
        void AddText(SiteTable table, std::string_view text, uint8_t level, uint16_t category);
        std::unique_ptr<SiteLookup> Build();

    private:
        std::unique_ptr<SiteLookup> m_lookup = std::make_unique<SiteLookup>();
    };

    SiteLookup() = default;
    SiteLookup(const SiteLookup&) = delete;
    SiteLookup& operator=(const SiteLookup&) = delete;

    // TABLE Address or Network: the entry whose value equals ADDRESS.
    std::optional<SiteMatch> FindAddress(SiteTable table, uint32_t address) const;
    // TABLE Domain or HostName: the entry equal to KEY (KEY already lower case).
    std::optional<SiteMatch> FindText(SiteTable table, std::string_view key) const;
    // The first URL entry that occurs inside KEY (KEY already lower case):
    // the leftmost position, and there the longest entry.
    std::optional<SiteMatch> FindUrl(std::string_view key) const;

    // The category with identifier ID, or null when the list has none.
    const SiteCategory* Category(uint16_t id) const;

    std::size_t EntryCount() const;
    std::size_t EntryCount(SiteTable table) const;
    // Bytes held by the tables and indexes (an estimate of the heap in use).
    std::size_t MemoryBytes() const;

private:
    struct AddressItem {
        uint32_t address;
        uint16_t category;
        uint8_t level;
    };
    struct TextItem {
        uint32_t offset;  // into m_texts
        uint16_t length;
        uint16_t category;
        uint8_t level;
    };
    struct TextTable {
        std::vector<TextItem> items;
        std::string texts;
    };

    std::string_view TextOf(const TextTable& table, const TextItem& item) const
    {
        return std::string_view(table.texts).substr(item.offset, item.length);
    }
    const AddressItem* FindAddressItem(const std::vector<AddressItem>& items, uint32_t address) const;
    SiteMatch UrlMatchAt(std::vector<TextItem>::const_iterator it) const;
    // The longest URL entry that is a prefix of SUFFIX.
    std::optional<SiteMatch> LongestUrlPrefix(std::string_view suffix) const;
    void BuildUrlIndex();

    std::vector<SiteCategory> m_categories;
    std::vector<AddressItem> m_addresses[2];
    TextTable m_texts[3];  // Domain, HostName, Url

    // URL index. Entries of at least four bytes are marked in the bitmap by
    // a hash of their first four bytes; entries are bucketed by their first
    // two bytes (a one-byte entry sits in the bucket of its byte and zero).
    std::vector<uint64_t> m_urlPrefixBits;
    std::vector<uint32_t> m_urlBucketStart;  // 65537 entries
    bool m_urlHasShortEntries = false;
};

}  // namespace hostfilter
