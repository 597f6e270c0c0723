// Writes site database files for tests and benchmarks: header, category
// table and plain (not enciphered) entries, with or without the CRC check.
// Malformed files are made by editing the bytes it returns.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace hostfilter::testing {

enum EntryType : uint8_t { kAddress = 0, kNetwork = 1, kDomain = 2, kHostName = 3, kUrl = 4 };

class SiteFileWriter {
public:
    void AddCategory(uint16_t id, uint8_t defaultLevel, std::string_view type, std::string_view name)
    {
        std::vector<uint8_t> record(148, 0);
        Put16(record, 0, id);
        record[3] = defaultLevel;
        std::memcpy(record.data() + 4, type.data(), std::min<std::size_t>(type.size(), 15));
        std::memcpy(record.data() + 20, name.data(), std::min<std::size_t>(name.size(), 127));
        m_categories.insert(m_categories.end(), record.begin(), record.end());
        ++m_categoryCount;
    }

    // ADDRESS with the first octet in the highest byte.
    void AddAddress(EntryType type, uint8_t level, uint16_t category, uint32_t address, uint16_t expiryDay = 0)
    {
        std::vector<uint8_t> entry(15, 0);
        Head(entry, type, level, category, expiryDay, /*length=*/4, /*textLength=*/4);
        Put32(entry, 10, address);
        Append(entry);
    }

    void AddText(EntryType type, uint8_t level, uint16_t category, std::string_view text, uint16_t expiryDay = 0)
    {
        std::vector<uint8_t> entry(11 + text.size(), 0);
        Head(entry, type, level, category, expiryDay, static_cast<uint16_t>(text.size()),
             static_cast<uint16_t>(text.size()));
        std::memcpy(entry.data() + 10, text.data(), text.size());
        Append(entry);
    }

    std::vector<uint8_t> Bytes(bool withCrc = true) const
    {
        std::vector<uint8_t> file(40, 0);
        Put32(file, 0, 0xFFEE8804u);
        Put32(file, 20, withCrc ? 0x100u : 0u);
        Put32(file, 24, m_categoryCount);
        Put32(file, 28, 40);
        Put32(file, 32, m_entryCount);
        Put32(file, 36, static_cast<uint32_t>(40 + m_categories.size()));
        file.insert(file.end(), m_categories.begin(), m_categories.end());
        file.insert(file.end(), m_entries.begin(), m_entries.end());
        uLong crc = crc32(0L, Z_NULL, 0);
        crc = crc32(crc, file.data() + 40, static_cast<uInt>(file.size() - 40));
        Put32(file, 12, static_cast<uint32_t>(crc));
        return file;
    }

    // Writes to a temporary name beside PATH and renames it over PATH, as an
    // update service replaces a database.
    void WriteTo(const std::string& path, bool withCrc = true) const { WriteBytes(path, Bytes(withCrc)); }

    static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::string temporary = path + ".new";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        std::rename(temporary.c_str(), path.c_str());
    }

    uint32_t EntryCount() const { return m_entryCount; }

private:
    static void Put16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value)
    {
        bytes[at] = static_cast<uint8_t>(value);
        bytes[at + 1] = static_cast<uint8_t>(value >> 8);
    }
    static void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
    static void Head(std::vector<uint8_t>& entry, EntryType type, uint8_t level, uint16_t category,
                     uint16_t expiryDay, uint16_t length, uint16_t textLength)
    {
        entry[0] = type;
        entry[1] = level;
        Put16(entry, 2, category);
        Put16(entry, 4, expiryDay);
        Put16(entry, 6, length);
        Put16(entry, 8, textLength);
    }
    void Append(const std::vector<uint8_t>& entry)
    {
        m_entries.insert(m_entries.end(), entry.begin(), entry.end());
        ++m_entryCount;
    }

    std::vector<uint8_t> m_categories;
    std::vector<uint8_t> m_entries;
    uint32_t m_categoryCount = 0;
    uint32_t m_entryCount = 0;
};

}  // namespace hostfilter::testing
