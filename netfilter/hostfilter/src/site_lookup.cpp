#include "site_lookup.h"

#include "url_split.h"

#include <algorithm>
#include <limits>

namespace hostfilter {
namespace {

constexpr std::size_t kBucketCount = 65536;
constexpr std::size_t kPrefixBitCount = std::size_t{1} << 24;
constexpr std::size_t kPrefixLength = 4;

int TextIndex(SiteTable table)
{
    return static_cast<int>(table) - static_cast<int>(SiteTable::Domain);
}

int AddressIndex(SiteTable table)
{
    return table == SiteTable::Network ? 1 : 0;
}

unsigned Byte(std::string_view text, std::size_t i)
{
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
}

std::size_t BucketOf(std::string_view text)
{
    return (Byte(text, 0) << 8) | Byte(text, 1);
}

// The bitmap bit for the first four bytes of TEXT (a multiplicative hash to
// 24 bits).
std::size_t PrefixBitOf(std::string_view text)
{
    uint32_t word = (Byte(text, 0) << 24) | (Byte(text, 1) << 16) | (Byte(text, 2) << 8) | Byte(text, 3);
    return static_cast<std::size_t>((word * 2654435761u) >> 8);
}

std::size_t CommonPrefixLength(std::string_view a, std::string_view b)
{
    std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

}  // namespace

void SiteLookup::Builder::AddCategory(uint16_t id, uint8_t defaultLevel, std::string_view type, std::string_view name)
{
    SiteCategory category;
    category.id = id;
    category.defaultLevel = defaultLevel;
    category.type = std::string(type.substr(0, type.find('\0')));
    category.name = std::string(name.substr(0, name.find('\0')));
    m_lookup->m_categories.push_back(std::move(category));
}

void SiteLookup::Builder::AddAddress(SiteTable table, uint32_t address, uint8_t level, uint16_t category)
{
    if (table != SiteTable::Address && table != SiteTable::Network)
        return;
    m_lookup->m_addresses[AddressIndex(table)].push_back(AddressItem{address, category, level});
}

void SiteLookup::Builder::AddText(SiteTable table, std::string_view text, uint8_t level, uint16_t category)
{
    if (table != SiteTable::Domain && table != SiteTable::HostName && table != SiteTable::Url)
        return;
    text = text.substr(0, text.find('\0'));
    if (!text.empty() && (text.back() == '/' || text.back() == '\\'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > std::numeric_limits<uint16_t>::max())
        return;
    TextTable& target = m_lookup->m_texts[TextIndex(table)];
    if (target.texts.size() + text.size() > std::numeric_limits<uint32_t>::max())
        return;
    std::string lower = AsciiLower(text);
    target.items.push_back(TextItem{static_cast<uint32_t>(target.texts.size()), static_cast<uint16_t>(lower.size()),
                                    category, level});
    target.texts += lower;
}

std::unique_ptr<SiteLookup> SiteLookup::Builder::Build()
{
    SiteLookup& lookup = *m_lookup;
    for (auto& items : lookup.m_addresses) {
        std::stable_sort(items.begin(), items.end(),
                         [](const AddressItem& a, const AddressItem& b) { return a.address < b.address; });
        items.shrink_to_fit();
    }
    for (TextTable& table : lookup.m_texts) {
        std::stable_sort(table.items.begin(), table.items.end(), [&](const TextItem& a, const TextItem& b) {
            return lookup.TextOf(table, a) < lookup.TextOf(table, b);
        });
        table.items.shrink_to_fit();
        table.texts.shrink_to_fit();
    }
    std::stable_sort(lookup.m_categories.begin(), lookup.m_categories.end(),
                     [](const SiteCategory& a, const SiteCategory& b) { return a.id < b.id; });
    lookup.BuildUrlIndex();
    std::unique_ptr<SiteLookup> built = std::move(m_lookup);
    m_lookup = std::make_unique<SiteLookup>();
    return built;
}

void SiteLookup::BuildUrlIndex()
{
    const TextTable& urls = m_texts[TextIndex(SiteTable::Url)];
    m_urlPrefixBits.assign(urls.items.empty() ? 0 : kPrefixBitCount / 64, 0);
    m_urlBucketStart.assign(kBucketCount + 1, 0);
    m_urlHasShortEntries = false;
    // Count per bucket, then turn the counts into start positions; the items
    // are sorted, so each bucket is one run.
    for (const TextItem& item : urls.items) {
        std::string_view text = TextOf(urls, item);
        ++m_urlBucketStart[BucketOf(text) + 1];
        if (text.size() < kPrefixLength) {
            m_urlHasShortEntries = true;
        } else {
            std::size_t bit = PrefixBitOf(text);
            m_urlPrefixBits[bit / 64] |= uint64_t{1} << (bit % 64);
        }
    }
    for (std::size_t i = 1; i <= kBucketCount; ++i)
        m_urlBucketStart[i] += m_urlBucketStart[i - 1];
}

const SiteLookup::AddressItem* SiteLookup::FindAddressItem(const std::vector<AddressItem>& items,
                                                           uint32_t address) const
{
    auto it = std::lower_bound(items.begin(), items.end(), address,
                               [](const AddressItem& item, uint32_t value) { return item.address < value; });
    if (it == items.end() || it->address != address)
        return nullptr;
    return &*it;
}

std::optional<SiteMatch> SiteLookup::FindAddress(SiteTable table, uint32_t address) const
{
    if (table != SiteTable::Address && table != SiteTable::Network)
        return std::nullopt;
    const AddressItem* item = FindAddressItem(m_addresses[AddressIndex(table)], address);
    if (item == nullptr)
        return std::nullopt;
    SiteMatch match;
    match.table = table;
    match.level = item->level;
    match.category = item->category;
    match.address = item->address;
    return match;
}

std::optional<SiteMatch> SiteLookup::FindText(SiteTable table, std::string_view key) const
{
    if (table != SiteTable::Domain && table != SiteTable::HostName)
        return std::nullopt;
    if (!key.empty() && (key.back() == '/' || key.back() == '\\'))
        key.remove_suffix(1);
    if (key.empty())
        return std::nullopt;
    const TextTable& texts = m_texts[TextIndex(table)];
    auto it = std::lower_bound(texts.items.begin(), texts.items.end(), key,
                               [&](const TextItem& item, std::string_view value) { return TextOf(texts, item) < value; });
    if (it == texts.items.end() || TextOf(texts, *it) != key)
        return std::nullopt;
    SiteMatch match;
    match.table = table;
    match.level = it->level;
    match.category = it->category;
    match.text = TextOf(texts, *it);
    return match;
}

SiteMatch SiteLookup::UrlMatchAt(std::vector<TextItem>::const_iterator it) const
{
    const TextTable& urls = m_texts[TextIndex(SiteTable::Url)];
    // Of equal entries the one listed first wins, as the stable sort kept them.
    while (it != urls.items.begin() && TextOf(urls, *(it - 1)) == TextOf(urls, *it))
        --it;
    SiteMatch match;
    match.table = SiteTable::Url;
    match.level = it->level;
    match.category = it->category;
    match.text = TextOf(urls, *it);
    return match;
}

std::optional<SiteMatch> SiteLookup::LongestUrlPrefix(std::string_view suffix) const
{
    const TextTable& urls = m_texts[TextIndex(SiteTable::Url)];
    auto itemsBegin = urls.items.begin();
    if (suffix.size() >= 2) {
        // Entries of two bytes or more that could be prefixes of SUFFIX share
        // its first two bytes. Find the greatest entry not above the probe; if
        // it is no prefix, only entries shorter than the common part can be,
        // so shorten the probe and search the part of the bucket before it.
        std::size_t bucket = BucketOf(suffix);
        auto lo = itemsBegin + m_urlBucketStart[bucket];
        auto hi = itemsBegin + m_urlBucketStart[bucket + 1];
        std::string_view probe = suffix;
        while (lo != hi && probe.size() >= 2) {
            auto it = std::upper_bound(lo, hi, probe, [&](std::string_view value, const TextItem& item) {
                return value < TextOf(urls, item);
            });
            if (it == lo)
                break;
            --it;
            std::string_view entry = TextOf(urls, *it);
            std::size_t common = CommonPrefixLength(entry, probe);
            if (common == entry.size())
                return UrlMatchAt(it);
            probe = probe.substr(0, common);
            hi = it;
        }
    }
    if (m_urlHasShortEntries && !suffix.empty()) {
        std::size_t bucket = BucketOf(suffix.substr(0, 1));
        auto lo = itemsBegin + m_urlBucketStart[bucket];
        auto hi = itemsBegin + m_urlBucketStart[bucket + 1];
        if (lo != hi)
            return UrlMatchAt(lo);
    }
    return std::nullopt;
}

std::optional<SiteMatch> SiteLookup::FindUrl(std::string_view key) const
{
    if (!key.empty() && (key.back() == '/' || key.back() == '\\'))
        key.remove_suffix(1);
    if (key.empty() || m_texts[TextIndex(SiteTable::Url)].items.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < key.size(); ++i) {
        std::string_view suffix = key.substr(i);
        if (suffix.size() >= kPrefixLength) {
            // No entry of four bytes or more starts with these four bytes:
            // only a shorter entry can start here.
            std::size_t bit = PrefixBitOf(suffix);
            if ((m_urlPrefixBits[bit / 64] & (uint64_t{1} << (bit % 64))) == 0) {
                if (!m_urlHasShortEntries)
                    continue;
                suffix = suffix.substr(0, kPrefixLength - 1);
            }
        }
        if (auto match = LongestUrlPrefix(suffix))
            return match;
    }
    return std::nullopt;
}

const SiteCategory* SiteLookup::Category(uint16_t id) const
{
    auto it = std::lower_bound(m_categories.begin(), m_categories.end(), id,
                               [](const SiteCategory& category, uint16_t value) { return category.id < value; });
    if (it == m_categories.end() || it->id != id)
        return nullptr;
    return &*it;
}

std::size_t SiteLookup::EntryCount(SiteTable table) const
{
    if (table == SiteTable::Address || table == SiteTable::Network)
        return m_addresses[AddressIndex(table)].size();
    return m_texts[TextIndex(table)].items.size();
}

std::size_t SiteLookup::EntryCount() const
{
    std::size_t total = 0;
    for (int t = 0; t < kSiteTableCount; ++t)
        total += EntryCount(static_cast<SiteTable>(t));
    return total;
}

std::size_t SiteLookup::MemoryBytes() const
{
    std::size_t bytes = sizeof(*this);
    for (const auto& items : m_addresses)
        bytes += items.capacity() * sizeof(AddressItem);
    for (const TextTable& table : m_texts)
        bytes += table.items.capacity() * sizeof(TextItem) + table.texts.capacity();
    for (const SiteCategory& category : m_categories)
        bytes += sizeof(category) + category.type.capacity() + category.name.capacity();
    bytes += m_urlPrefixBits.capacity() * sizeof(uint64_t) + m_urlBucketStart.capacity() * sizeof(uint32_t);
    return bytes;
}

}  // namespace hostfilter
