#include "database_source.h"
#include "source_lexer.h"

#include <kit/blowfish.h>
#include <kit/clock.h>
#include <kit/file_check.h>
#include <kit/key_table.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kelmdb {

using nfkit::SiteEntryType;

namespace {

struct KindName {
    const char* name;
    SiteEntryType type;
};
constexpr KindName kKinds[] = {
    {"ip", SiteEntryType::Address}, {"network", SiteEntryType::Network}, {"domain", SiteEntryType::Domain},
    {"host", SiteEntryType::HostName}, {"url", SiteEntryType::Url},
};

const char* KindText(SiteEntryType type)
{
    for (const auto& k : kKinds) {
        if (k.type == type)
            return k.name;
    }
    return "?";
}

bool ParseAddress(const std::string& text, std::uint32_t& address)
{
    unsigned parts[4];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
        return false;
    address = 0;
    for (unsigned p : parts) {
        if (p > 255)
            return false;
        address = (address << 8) | p;
    }
    return true;
}

std::string AddressText(std::uint32_t a)
{
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return buffer;
}

bool ParseExpiry(const std::string& text, std::uint16_t& day, std::string& error)
{
    if (text == "never") {
        day = 0;
        return true;
    }
    long value = -1;
    if (text.rfind("day:", 0) == 0) {
        auto n = ParseNumber(text.substr(4), nfkit::kSiteMaxExpiryDay);
        if (n)
            value = static_cast<long>(*n);
    } else {
        int y = 0, m = 0, d = 0;
        char tail = 0;
        if (std::sscanf(text.c_str(), "%d-%d-%d%c", &y, &m, &d, &tail) == 3 && m >= 1 && m <= 12 && d >= 1 &&
            d <= 31)
            value = nfkit::DayNumberOf(y, m, d);
    }
    if (value < 1 || value > static_cast<long>(nfkit::kSiteMaxExpiryDay)) {
        error = "expiry '" + text + "': a date from 2006-01-02 to 2008-10-21, day:1 to day:1024, or never";
        return false;
    }
    day = static_cast<std::uint16_t>(value);
    return true;
}

bool HasCategory(const SiteSource& source, std::uint16_t id)
{
    for (const auto& c : source.categories) {
        if (c.id == id)
            return true;
    }
    return false;
}

std::string Quote(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

}  // namespace

bool ParseSiteSource(std::string_view text, SiteSource& source, SourceError& error)
{
    source = SiteSource();
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        auto fail = [&](std::string message) {
            error = SourceError{lineNumber, std::move(message)};
            return false;
        };
        std::string problem;
        auto tokens = SplitLine(line, problem);
        if (!tokens)
            return fail(problem);
        if (tokens->empty())
            continue;
        const std::string& word = (*tokens)[0].text;

        if (word == "category") {
            if (tokens->size() != 5)
                return fail("expected: category <id> <default level> <type> \"<name>\"");
            auto id = ParseNumber((*tokens)[1].text, nfkit::kSiteMaxCategoryId);
            auto level = ParseNumber((*tokens)[2].text, 255);
            if (!id)
                return fail("category id must be 0 to 256");
            if (!level)
                return fail("default level must be 0 to 255");
            if ((*tokens)[3].text.size() > 15)
                return fail("category type longer than 15 characters");
            if ((*tokens)[4].text.size() > 127)
                return fail("category name longer than 127 characters");
            if (HasCategory(source, static_cast<std::uint16_t>(*id)))
                return fail("category " + std::to_string(*id) + " defined twice");
            if (source.categories.size() >= nfkit::kSiteMaxCategories)
                return fail("more than 255 categories");
            nfkit::SiteCategory category;
            category.id = static_cast<std::uint16_t>(*id);
            category.defaultLevel = static_cast<std::uint8_t>(*level);
            category.type = (*tokens)[3].text;
            category.name = (*tokens)[4].text;
            source.categories.push_back(std::move(category));
            continue;
        }

        SiteSourceEntry entry;
        bool known = false;
        for (const auto& k : kKinds) {
            if (word == k.name) {
                entry.type = k.type;
                known = true;
            }
        }
        if (!known)
            return fail("unknown line kind '" + word + "' (category, ip, network, domain, host or url)");
        if (tokens->size() < 3)
            return fail("expected: " + word + " <value> cat=<id> [level=<n>] [expires=<date>]");
        const std::string& value = (*tokens)[1].text;
        if (nfkit::IsAddressType(entry.type)) {
            if (!ParseAddress(value, entry.address))
                return fail("'" + value + "' is not a dotted IPv4 address");
        } else {
            if (value.empty() || value.size() > nfkit::kSiteMaxLength)
                return fail("text must be 1 to 1024 bytes");
            if (value.find('\0') != std::string::npos)
                return fail("text must not hold NUL");
            entry.text = value;
        }
        bool haveCategory = false;
        for (std::size_t i = 2; i < tokens->size(); ++i) {
            const std::string& option = (*tokens)[i].text;
            const std::size_t eq = option.find('=');
            const std::string name = option.substr(0, eq);
            const std::string arg = eq == std::string::npos ? "" : option.substr(eq + 1);
            if (name == "cat") {
                auto id = ParseNumber(arg, nfkit::kSiteMaxCategoryId);
                if (!id || !HasCategory(source, static_cast<std::uint16_t>(*id)))
                    return fail("cat=" + arg + " names no category defined above");
                entry.categoryId = static_cast<std::uint16_t>(*id);
                haveCategory = true;
            } else if (name == "level") {
                auto level = ParseNumber(arg, 255);
                if (!level)
                    return fail("level must be 0 to 255");
                entry.level = static_cast<std::uint8_t>(*level);
            } else if (name == "expires") {
                if (!ParseExpiry(arg, entry.expiryDay, problem))
                    return fail(problem);
            } else {
                return fail("unknown option '" + option + "'");
            }
        }
        if (!haveCategory)
            return fail("every site needs cat=<id>");
        if (source.entries.size() >= nfkit::kSiteMaxEntries)
            return fail("more than 500000 sites");
        source.entries.push_back(std::move(entry));
    }
    return true;
}

std::vector<std::uint8_t> WriteSiteFile(const SiteSource& source, const WriteOptions& options)
{
    std::vector<std::uint8_t> categories(source.categories.size() * nfkit::kSiteCategorySize, 0);
    for (std::size_t i = 0; i < source.categories.size(); ++i) {
        std::uint8_t* raw = categories.data() + i * nfkit::kSiteCategorySize;
        const auto& c = source.categories[i];
        nfkit::WriteLe16(raw, c.id);
        raw[3] = c.defaultLevel;
        std::memcpy(raw + 4, c.type.data(), std::min<std::size_t>(c.type.size(), 15));
        std::memcpy(raw + 20, c.name.data(), std::min<std::size_t>(c.name.size(), 127));
    }

    std::vector<std::uint8_t> entries;
    for (const SiteSourceEntry& e : source.entries) {
        const bool address = nfkit::IsAddressType(e.type);
        const std::size_t valueSize = address ? 4 : e.text.size();
        // The next entry starts 11 + L bytes on: the value and a NUL after it.
        const auto length = static_cast<std::uint16_t>(address ? 3 : valueSize);
        const std::size_t at = entries.size();
        entries.resize(at + 11 + length, 0);
        std::uint8_t* raw = entries.data() + at;
        raw[0] = static_cast<std::uint8_t>(e.type);
        raw[1] = e.level;
        nfkit::WriteLe16(raw + 2, e.categoryId);
        nfkit::WriteLe16(raw + 4, e.expiryDay);
        nfkit::WriteLe16(raw + 6, length);
        nfkit::WriteLe16(raw + 8, static_cast<std::uint16_t>(valueSize));
        if (address)
            nfkit::WriteLe32(raw + 10, e.address);
        else
            std::memcpy(raw + 10, e.text.data(), e.text.size());
    }

    std::uint32_t flags = nfkit::kSiteFlagCheckCrc;
    if (options.encipher) {
        BlowFishEnc cipher(nfkit::KeyText(nfkit::kSiteDatabaseKey));
        std::vector<std::uint8_t> enciphered(entries.size() + 8);
        enciphered.resize(cipher.Encrypt(entries.data(), entries.size(), enciphered.data()));
        entries = std::move(enciphered);
        flags |= 0x1;
    }

    const auto entryOffset = static_cast<std::uint32_t>(nfkit::kSiteHeaderSize + categories.size());
    std::vector<std::uint8_t> file(entryOffset + entries.size(), 0);
    std::copy(categories.begin(), categories.end(), file.begin() + nfkit::kSiteHeaderSize);
    std::copy(entries.begin(), entries.end(), file.begin() + entryOffset);
    std::uint8_t* header = file.data();
    nfkit::WriteLe32(header, nfkit::kSiteMagic);
    nfkit::WriteLe32(header + 20, flags);
    nfkit::WriteLe32(header + 24, static_cast<std::uint32_t>(source.categories.size()));
    nfkit::WriteLe32(header + 28, nfkit::kSiteHeaderSize);
    nfkit::WriteLe32(header + 32, static_cast<std::uint32_t>(source.entries.size()));
    nfkit::WriteLe32(header + 36, entryOffset);
    nfkit::WriteLe32(header + 12, nfkit::Crc32From(file, nfkit::kSiteHeaderSize));
    return file;
}

std::string DumpSiteDatabase(const nfkit::SiteDatabase& database)
{
    std::string out = "# category <id> <default level> <type> <name>\n";
    for (const auto& c : database.Categories())
        out += "category " + std::to_string(c.id) + ' ' + std::to_string(c.defaultLevel) + ' ' + Quote(c.type) +
               ' ' + Quote(c.name) + '\n';
    out += "# <kind> <value> cat=<id> [level=<n>] [expires=day:<n>]\n";
    for (int t = 0; t < nfkit::kSiteTableCount; ++t) {
        const auto type = static_cast<SiteEntryType>(t);
        for (const auto& e : database.Entries(type)) {
            out += KindText(type);
            out += ' ';
            out += nfkit::IsAddressType(type) ? AddressText(e.value) : Quote(database.Text(e));
            out += " cat=" + std::to_string(e.categoryId);
            if (e.actionLevel != 0)
                out += " level=" + std::to_string(e.actionLevel);
            if (e.expiryDay != 0)
                out += " expires=day:" + std::to_string(e.expiryDay);
            out += '\n';
        }
    }
    return out;
}

}  // namespace kelmdb
