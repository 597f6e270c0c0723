// The site database: categories and five tables of listed sites, read from
// one or two site database files and merged.
//
// File layout (little-endian):
//   header (40 bytes): 0 magic 0xFFEE8804 | 12 CRC-32 from the category
//   table to the end of the file | 20 flags (0x100 check CRC, 0x3 entry
//   region enciphered with key 2) | 24 category count (< 256) | 28 category
//   table offset | 32 entry count (<= 500000) | 36 entry region offset (the
//   region runs to the end of the file)
//   category (148 bytes): 0 id | 3 default action level | 4 type (16, NUL
//   terminated) | 20 name (128, NUL terminated)
//   entry: 0 type (0 address, 1 network, 2 domain, 3 host name, 4 URL) |
//   1 action level (0: the category's) | 2 category id (<= 256) | 4 expiry
//   day (days since 2006-01-01, 0 never; <= 1024) | 6 L (<= 1024; the next
//   entry starts 11 + L bytes on) | 8 text length T (<= 1024) | 10 value: a
//   32-bit address (first octet in the high byte) or text of at most T bytes.
//
// Every read is bounded by the file. An entry that breaks a limit is skipped
// as 12 bytes; an entry whose category is not in the table, or whose text is
// empty, is skipped whole; a partial entry at the end ends the region.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nfkit {

inline constexpr std::uint32_t kSiteMagic = 0xFFEE8804u;
inline constexpr std::size_t kSiteHeaderSize = 40;
inline constexpr std::size_t kSiteCategorySize = 148;
inline constexpr std::size_t kSiteEntryHeadSize = 10;
inline constexpr std::size_t kSiteInvalidEntryStep = 12;
inline constexpr std::uint32_t kSiteMaxCategories = 255;
inline constexpr std::uint32_t kSiteMaxEntries = 500000;
inline constexpr std::uint32_t kSiteMaxCategoryId = 256;
inline constexpr std::uint32_t kSiteMaxExpiryDay = 1024;
inline constexpr std::uint32_t kSiteMaxLength = 1024;
inline constexpr std::uint32_t kSiteFlagCheckCrc = 0x100;
inline constexpr std::uint32_t kSiteFlagEncipheredMask = 0x3;
// The second database, looked for in the folder of the first.
inline constexpr const char* kSecondSiteDatabaseName = "sb2.dat";

enum SiteLoadError : int {
    kSiteCannotOpen = -1,
    kSiteBadHeader = -2,   // no path, header shorter than 40 bytes or wrong magic
    kSiteBadCrc = -3,
    kSiteOutOfRange = -4,  // header values outside the file or the limits
};

enum class SiteEntryType : std::uint8_t {
    Address = 0,
    Network = 1,
    Domain = 2,
    HostName = 3,
    Url = 4,
};
inline constexpr int kSiteTableCount = 5;

inline bool IsAddressType(SiteEntryType type)
{
    return type == SiteEntryType::Address || type == SiteEntryType::Network;
}

struct SiteCategory {
    std::uint16_t id = 0;
    std::uint8_t defaultLevel = 0;
    std::string type;  // at most 15 characters
    std::string name;  // at most 127 characters
};

// One listed site (12 bytes). VALUE is the address for the address tables and
// the offset of the (lower-case) text in the database's text store otherwise.
struct SiteEntry {
    SiteEntryType type = SiteEntryType::Address;
    std::uint8_t actionLevel = 0;  // 0: the category's default applies
    std::uint16_t categoryId = 0;
    std::uint16_t expiryDay = 0;   // 0: never expires
    std::uint16_t textLength = 0;
    std::uint32_t value = 0;
};
static_assert(sizeof(SiteEntry) == 12);

class SiteDatabase {
public:
    const std::vector<SiteCategory>& Categories() const { return m_categories; }
    const SiteCategory* FindCategory(std::uint16_t id) const;

    // The table of TYPE in file order (expired entries included).
    std::span<const SiteEntry> Entries(SiteEntryType type) const;
    // Positions in Entries(TYPE) of the entries that had not expired when
    // the index was built, sorted: addresses as unsigned numbers, texts byte
    // by byte as unsigned characters.
    std::span<const std::uint32_t> SortedIndex(SiteEntryType type) const;
    std::string_view Text(const SiteEntry& entry) const;

    // Exact lookups in the sorted index (non-expired entries only). KEY must
    // already be in the table's form (lower case, no trailing "/" or "\").
    const SiteEntry* FindAddress(SiteEntryType type, std::uint32_t address) const;
    const SiteEntry* FindText(SiteEntryType type, std::string_view key) const;

    // The valid entries read from the file(s); after a merge, the sum of both
    // databases' counts.
    int ValidEntryCount() const { return m_validCount; }
    // The day number the index was built for.
    int IndexDay() const { return m_indexDay; }

    // Building (used by the readers, the merge and tests).
    void AddCategory(SiteCategory category);
    // TEXT is stored as given; the readers have already lower-cased it.
    void AddAddress(SiteEntryType type, std::uint8_t level, std::uint16_t categoryId,
                    std::uint16_t expiryDay, std::uint32_t address);
    void AddText(SiteEntryType type, std::uint8_t level, std::uint16_t categoryId,
                 std::uint16_t expiryDay, std::string_view text);
    void SetValidEntryCount(int count) { m_validCount = count; }
    // Sorts the entries that are not expired on day TODAY into the indexes.
    void BuildIndexes(int today);

private:
    std::vector<SiteCategory> m_categories;
    std::vector<SiteEntry> m_tables[kSiteTableCount];
    std::vector<std::uint32_t> m_indexes[kSiteTableCount];
    std::string m_texts;
    int m_validCount = 0;
    int m_indexDay = 0;
};

// Puts TEXT in a table's form: lower case (ASCII), one trailing "/" or "\"
// removed.
std::string NormaliseSiteText(std::string_view text);

// Parses one whole file held in memory into DB and builds its index for day
// TODAY. Returns the number of valid entries or a SiteLoadError.
int ParseSiteDatabase(std::span<const std::uint8_t> file, int today, SiteDatabase& db);

// Reads one file. A fault inside the reader is caught, reported as the debug
// string "VRXSDK: OpenFilterContext exception\n\n", and gives 0.
int LoadSiteDatabaseFile(const std::string& path, int today, SiteDatabase& db);

// The merge: FIRST's categories, then each of SECOND's whose name is new
// (with the next free identifier); FIRST's entries, then SECOND's whose value
// is not in FIRST's table of the same type, their categories remapped by name
// when the category sets differ. Indexes built for TODAY.
std::unique_ptr<SiteDatabase> MergeSiteDatabases(const SiteDatabase& first, const SiteDatabase& second,
                                                 int today);

// Loads PATH and "sb2.dat" in the folder of PATH's absolute form, and merges
// them when both load; a database that loads alone is used alone. Returns
// the number of valid entries (the sum for a merge) and sets OUT, or an error
// of the first file (OUT empty) when neither loads.
int LoadSiteDatabases(const std::string& path, int today, std::unique_ptr<SiteDatabase>& out);

// The path of the second database for PATH.
std::string SecondSiteDatabasePath(const std::string& path);

}  // namespace nfkit
