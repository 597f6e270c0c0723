#include "kit/site_database.h"

#include "kit/blowfish.h"
#include "kit/debug_output.h"
#include "kit/file_check.h"
#include "kit/key_table.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace nfkit {

namespace {

std::size_t TableOf(SiteEntryType type)
{
    return static_cast<std::size_t>(type);
}

std::string BoundedText(const std::uint8_t* p, std::size_t size)
{
    const void* nul = std::memchr(p, 0, size);
    const std::size_t n = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - p) : size;
    return std::string(reinterpret_cast<const char*>(p), n);
}

bool IsExpired(const SiteEntry& entry, int today)
{
    return entry.expiryDay != 0 && static_cast<int>(entry.expiryDay) < today;
}

}  // namespace

std::string NormaliseSiteText(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (!out.empty() && (out.back() == '/' || out.back() == '\\'))
        out.pop_back();
    return out;
}

// ---- SiteDatabase ----------------------------------------------------------

const SiteCategory* SiteDatabase::FindCategory(std::uint16_t id) const
{
    for (const SiteCategory& category : m_categories) {
        if (category.id == id)
            return &category;
    }
    return nullptr;
}

std::span<const SiteEntry> SiteDatabase::Entries(SiteEntryType type) const
{
    return m_tables[TableOf(type)];
}

std::span<const std::uint32_t> SiteDatabase::SortedIndex(SiteEntryType type) const
{
    return m_indexes[TableOf(type)];
}

std::string_view SiteDatabase::Text(const SiteEntry& entry) const
{
    if (IsAddressType(entry.type) || entry.value > m_texts.size() ||
        entry.textLength > m_texts.size() - entry.value)
        return {};
    return std::string_view(m_texts).substr(entry.value, entry.textLength);
}

const SiteEntry* SiteDatabase::FindAddress(SiteEntryType type, std::uint32_t address) const
{
    const auto& table = m_tables[TableOf(type)];
    const auto& index = m_indexes[TableOf(type)];
    auto it = std::lower_bound(index.begin(), index.end(), address,
                               [&](std::uint32_t at, std::uint32_t key) { return table[at].value < key; });
    if (it == index.end() || table[*it].value != address)
        return nullptr;
    return &table[*it];
}

const SiteEntry* SiteDatabase::FindText(SiteEntryType type, std::string_view key) const
{
    if (key.empty())
        return nullptr;
    const auto& table = m_tables[TableOf(type)];
    const auto& index = m_indexes[TableOf(type)];
    auto it = std::lower_bound(index.begin(), index.end(), key,
                               [&](std::uint32_t at, std::string_view k) { return Text(table[at]) < k; });
    if (it == index.end() || Text(table[*it]) != key)
        return nullptr;
    return &table[*it];
}

void SiteDatabase::AddCategory(SiteCategory category)
{
    m_categories.push_back(std::move(category));
}

void SiteDatabase::AddAddress(SiteEntryType type, std::uint8_t level, std::uint16_t categoryId,
                              std::uint16_t expiryDay, std::uint32_t address)
{
    SiteEntry entry;
    entry.type = type;
    entry.actionLevel = level;
    entry.categoryId = categoryId;
    entry.expiryDay = expiryDay;
    entry.value = address;
    m_tables[TableOf(type)].push_back(entry);
}

void SiteDatabase::AddText(SiteEntryType type, std::uint8_t level, std::uint16_t categoryId,
                           std::uint16_t expiryDay, std::string_view text)
{
    SiteEntry entry;
    entry.type = type;
    entry.actionLevel = level;
    entry.categoryId = categoryId;
    entry.expiryDay = expiryDay;
    entry.textLength = static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF));
    entry.value = static_cast<std::uint32_t>(m_texts.size());
    m_texts.append(text.substr(0, entry.textLength));
    m_tables[TableOf(type)].push_back(entry);
}

void SiteDatabase::BuildIndexes(int today)
{
    m_indexDay = today;
    for (int t = 0; t < kSiteTableCount; ++t) {
        const auto& table = m_tables[t];
        auto& index = m_indexes[t];
        index.clear();
        index.reserve(table.size());
        for (std::uint32_t i = 0; i < table.size(); ++i) {
            if (!IsExpired(table[i], today))
                index.push_back(i);
        }
        if (IsAddressType(static_cast<SiteEntryType>(t))) {
            std::stable_sort(index.begin(), index.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return table[a].value < table[b].value; });
        } else {
            std::stable_sort(index.begin(), index.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return Text(table[a]) < Text(table[b]); });
        }
    }
}

// ---- Reading one file --------------------------------------------------------

int ParseSiteDatabase(std::span<const std::uint8_t> file, int today, SiteDatabase& db)
{
    db = SiteDatabase();
    if (file.size() < kSiteHeaderSize || ReadLe32(file.data()) != kSiteMagic)
        return kSiteBadHeader;

    const std::uint8_t* header = file.data();
    const std::uint32_t storedCrc = ReadLe32(header + 12);
    const std::uint32_t flags = ReadLe32(header + 20);
    const std::uint32_t categoryCount = ReadLe32(header + 24);
    const std::uint32_t categoryOffset = ReadLe32(header + 28);
    const std::uint32_t entryCount = ReadLe32(header + 32);
    const std::uint32_t entryOffset = ReadLe32(header + 36);

    if (categoryCount > kSiteMaxCategories || entryCount > kSiteMaxEntries || categoryOffset > file.size() ||
        categoryCount * kSiteCategorySize > file.size() - categoryOffset || entryOffset > file.size())
        return kSiteOutOfRange;

    if ((flags & kSiteFlagCheckCrc) && Crc32From(file, categoryOffset) != storedCrc)
        return kSiteBadCrc;

    for (std::uint32_t i = 0; i < categoryCount; ++i) {
        const std::uint8_t* raw = file.data() + categoryOffset + i * kSiteCategorySize;
        SiteCategory category;
        category.id = ReadLe16(raw);
        category.defaultLevel = raw[3];
        category.type = BoundedText(raw + 4, 16);
        category.name = BoundedText(raw + 20, 128);
        if (category.type.size() > 15)
            category.type.resize(15);
        if (category.name.size() > 127)
            category.name.resize(127);
        db.AddCategory(std::move(category));
    }

    std::vector<std::uint8_t> region(file.begin() + entryOffset, file.end());
    if (flags & kSiteFlagEncipheredMask) {
        BlowFishEnc cipher(KeyText(kSiteDatabaseKey));
        const std::size_t deciphered = cipher.Decrypt(region.data(), region.size(), region.data());
        // A partial last block was never enciphered by a well-formed writer.
        region.resize(deciphered);
    }

    int valid = 0;
    std::size_t at = 0;
    for (std::uint32_t n = 0; n < entryCount; ++n) {
        if (region.size() - at < kSiteEntryHeadSize)
            break;  // a partial entry ends the region
        const std::uint8_t* raw = region.data() + at;
        const std::uint8_t type = raw[0];
        const std::uint8_t level = raw[1];
        const std::uint16_t categoryId = ReadLe16(raw + 2);
        const std::uint16_t expiryDay = ReadLe16(raw + 4);
        const std::uint16_t length = ReadLe16(raw + 6);
        const std::uint16_t textLength = ReadLe16(raw + 8);
        const std::size_t entrySize = 11u + length;
        const bool isAddress = type <= 1;
        // The value must lie inside the entry as its own length declares it.
        const std::size_t valueSize = isAddress ? 4u : textLength;
        if (type > 4 || categoryId > kSiteMaxCategoryId || expiryDay > kSiteMaxExpiryDay ||
            length > kSiteMaxLength || textLength > kSiteMaxLength ||
            kSiteEntryHeadSize + valueSize > entrySize) {
            at += kSiteInvalidEntryStep;
            if (at > region.size())
                break;
            continue;
        }
        if (entrySize > region.size() - at)
            break;  // the entry runs past the end of the file
        at += entrySize;

        if (db.FindCategory(categoryId) == nullptr)
            continue;  // its category, level and name would be unknown
        const auto entryType = static_cast<SiteEntryType>(type);
        if (isAddress) {
            const std::uint32_t address = ReadLe32(raw + kSiteEntryHeadSize);
            db.AddAddress(entryType, level, categoryId, expiryDay, address);
        } else {
            const std::string text = NormaliseSiteText(BoundedText(raw + kSiteEntryHeadSize, textLength));
            // An empty text is skipped: it would be "inside" every key.
            if (text.empty())
                continue;
            db.AddText(entryType, level, categoryId, expiryDay, text);
        }
        ++valid;
    }
    db.SetValidEntryCount(valid);
    db.BuildIndexes(today);
    return valid;
}

int LoadSiteDatabaseFile(const std::string& path, int today, SiteDatabase& db)
{
    try {
        std::vector<std::uint8_t> bytes;
        switch (ReadWholeFile(path, bytes)) {
        case FileReadResult::Ok:
            break;
        case FileReadResult::CannotOpen:
            return kSiteCannotOpen;
        case FileReadResult::TooLarge:
            return kSiteOutOfRange;
        case FileReadResult::ReadError:
            return kSiteCannotOpen;
        }
        return ParseSiteDatabase(bytes, today, db);
    } catch (...) {
        db = SiteDatabase();
        OutputDebugString("VRXSDK: OpenFilterContext exception\n\n");
        return 0;
    }
}

// ---- Merge --------------------------------------------------------------------

std::unique_ptr<SiteDatabase> MergeSiteDatabases(const SiteDatabase& first, const SiteDatabase& second,
                                                 int today)
{
    auto merged = std::make_unique<SiteDatabase>();
    int nextId = 0;
    for (const SiteCategory& category : first.Categories()) {
        merged->AddCategory(category);
        nextId = std::max(nextId, category.id + 1);
    }

    const auto& a = first.Categories();
    const auto& b = second.Categories();
    const bool sameCategories =
        a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const SiteCategory& x, const SiteCategory& y) {
            return x.id == y.id && x.name == y.name;
        });

    // Second database's category id -> merged id.
    std::unordered_map<std::uint16_t, std::uint16_t> remap;
    if (!sameCategories) {
        for (const SiteCategory& category : b) {
            const SiteCategory* existing = nullptr;
            for (const SiteCategory& have : merged->Categories()) {
                if (have.name == category.name) {
                    existing = &have;
                    break;
                }
            }
            if (existing == nullptr) {
                SiteCategory added = category;
                added.id = static_cast<std::uint16_t>(nextId++);
                merged->AddCategory(added);
                existing = &merged->Categories().back();
            }
            remap.emplace(category.id, existing->id);  // the first of a repeated id wins
        }
    }

    for (int t = 0; t < kSiteTableCount; ++t) {
        const auto type = static_cast<SiteEntryType>(t);
        std::unordered_set<std::uint32_t> addresses;
        std::unordered_set<std::string_view> texts;
        for (const SiteEntry& entry : first.Entries(type)) {
            if (IsAddressType(type)) {
                merged->AddAddress(type, entry.actionLevel, entry.categoryId, entry.expiryDay, entry.value);
                addresses.insert(entry.value);
            } else {
                merged->AddText(type, entry.actionLevel, entry.categoryId, entry.expiryDay, first.Text(entry));
                texts.insert(first.Text(entry));
            }
        }
        for (const SiteEntry& entry : second.Entries(type)) {
            std::uint16_t categoryId = entry.categoryId;
            if (!sameCategories) {
                auto it = remap.find(categoryId);
                if (it == remap.end())
                    continue;  // the readers keep no such entry; be safe anyway
                categoryId = it->second;
            }
            if (IsAddressType(type)) {
                if (addresses.insert(entry.value).second)
                    merged->AddAddress(type, entry.actionLevel, categoryId, entry.expiryDay, entry.value);
            } else {
                const std::string_view text = second.Text(entry);
                if (texts.insert(text).second)
                    merged->AddText(type, entry.actionLevel, categoryId, entry.expiryDay, text);
            }
        }
    }
    merged->SetValidEntryCount(first.ValidEntryCount() + second.ValidEntryCount());
    merged->BuildIndexes(today);
    return merged;
}

std::string SecondSiteDatabasePath(const std::string& path)
{
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error)
        full = path;
    return (full.parent_path() / kSecondSiteDatabaseName).string();
}

int LoadSiteDatabases(const std::string& path, int today, std::unique_ptr<SiteDatabase>& out)
{
    out.reset();
    if (path.empty())
        return kSiteBadHeader;
    auto first = std::make_unique<SiteDatabase>();
    auto second = std::make_unique<SiteDatabase>();
    const int firstResult = LoadSiteDatabaseFile(path, today, *first);
    const int secondResult = LoadSiteDatabaseFile(SecondSiteDatabasePath(path), today, *second);

    if (firstResult >= 0 && secondResult >= 0) {
        try {
            out = MergeSiteDatabases(*first, *second, today);
        } catch (...) {
            OutputDebugString("VRXSDK: OpenFilterContext exception\n\n");
            return 0;
        }
        return firstResult + secondResult;
    }
    if (firstResult >= 0) {
        out = std::move(first);
        return firstResult;
    }
    if (secondResult >= 0) {
        out = std::move(second);
        return secondResult;
    }
    return firstResult;
}

}  // namespace nfkit
