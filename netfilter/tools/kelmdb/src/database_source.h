// kelmdb's readable sources and the database files built from them.
//
// Detection source, one signature a line ("#" starts a comment):
//   <id> <sub-id> <flags> <pattern unit>...
//   flags: names joined by "|" (nocase group ordered disarm aux http mail
//   html image gzip; block action0 action1 action2 action3), numbers allowed
//   pattern: "text" (escapes \\ \" \n \r \t \xHH), hex:3c0a, gap:N, skip:N
// Site source:
//   category <id> <default level> <type> "<name>"
//   ip|network <a.b.c.d>  cat=<id> [level=<n>] [expires=YYYY-MM-DD|expires=day:<n>]
//   domain|host|url <text> cat=<id> [level=<n>] [expires=...]
#pragma once

#include <kit/detection_record.h>
#include <kit/site_database.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelmdb {

struct SourceError {
    int line = 0;  // 1-based; 0 for errors not tied to a line
    std::string message;
};

struct SiteSourceEntry {
    nfkit::SiteEntryType type = nfkit::SiteEntryType::Address;
    std::uint8_t level = 0;
    std::uint16_t categoryId = 0;
    std::uint16_t expiryDay = 0;
    std::uint32_t address = 0;
    std::string text;
};

struct SiteSource {
    std::vector<nfkit::SiteCategory> categories;
    std::vector<SiteSourceEntry> entries;
};

struct WriteOptions {
    bool encipher = false;
};

bool ParseDetectionSource(std::string_view text, std::vector<nfkit::DetectionRecord>& records, SourceError& error);
bool ParseSiteSource(std::string_view text, SiteSource& source, SourceError& error);

// Whole files: header, payload and CRC (always written and always to be
// checked); with ENCIPHER the record or entry region is enciphered.
std::vector<std::uint8_t> WriteDetectionFile(const std::vector<nfkit::DetectionRecord>& records,
                                             const WriteOptions& options);
std::vector<std::uint8_t> WriteSiteFile(const SiteSource& source, const WriteOptions& options);

// Text in the source syntax.
std::string DumpDetectionRecords(const std::vector<nfkit::DetectionRecord>& records);
std::string DumpSiteDatabase(const nfkit::SiteDatabase& database);

std::string FlagsText(std::uint32_t flags);
std::string PatternText(const nfkit::DetectionRecord& record);

}  // namespace kelmdb
