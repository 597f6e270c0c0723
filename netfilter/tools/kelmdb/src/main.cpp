// kelmdb: builds the exploit detection file and the site database from
// readable sources, and dumps either kind of file back to text.
//
//   kelmdb detections <source> <output> [--encipher]
//   kelmdb sites <source> <output> [--encipher]
//   kelmdb dump <file>
#include "database_source.h"

#include <kit/clock.h>
#include <kit/detection_file.h>
#include <kit/file_check.h>
#include <kit/site_database.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: kelmdb detections <source> <output> [--encipher]\n"
                 "       kelmdb sites <source> <output> [--encipher]\n"
                 "       kelmdb dump <file>\n");
    return 2;
}

bool ReadText(const char* path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const char* path, const std::vector<std::uint8_t>& bytes)
{
    const std::string temporary = std::string(path) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            return false;
    }
    // Replaced in one step: a running plug-in never reads a half-written file.
    return std::rename(temporary.c_str(), path) == 0;
}

int Build(const char* kind, const char* sourcePath, const char* outputPath, bool encipher)
{
    std::string text;
    if (!ReadText(sourcePath, text)) {
        std::fprintf(stderr, "kelmdb: cannot read %s\n", sourcePath);
        return 1;
    }
    kelmdb::SourceError error;
    std::vector<std::uint8_t> file;
    std::size_t count = 0;
    const kelmdb::WriteOptions options{encipher};
    if (std::strcmp(kind, "detections") == 0) {
        std::vector<nfkit::DetectionRecord> records;
        if (!kelmdb::ParseDetectionSource(text, records, error)) {
            std::fprintf(stderr, "%s:%d: %s\n", sourcePath, error.line, error.message.c_str());
            return 1;
        }
        if (records.size() > nfkit::kDetectionMaxRecords) {
            std::fprintf(stderr, "%s: more than %u signatures\n", sourcePath, nfkit::kDetectionMaxRecords);
            return 1;
        }
        count = records.size();
        file = kelmdb::WriteDetectionFile(records, options);
    } else {
        kelmdb::SiteSource source;
        if (!kelmdb::ParseSiteSource(text, source, error)) {
            std::fprintf(stderr, "%s:%d: %s\n", sourcePath, error.line, error.message.c_str());
            return 1;
        }
        count = source.entries.size();
        file = kelmdb::WriteSiteFile(source, options);
    }
    if (!WriteFile(outputPath, file)) {
        std::fprintf(stderr, "kelmdb: cannot write %s\n", outputPath);
        return 1;
    }
    std::printf("kelmdb: %zu %s written to %s\n", count, std::strcmp(kind, "sites") == 0 ? "sites" : "signatures",
                outputPath);
    return 0;
}

int Dump(const char* path)
{
    std::vector<std::uint8_t> bytes;
    if (nfkit::ReadWholeFile(path, bytes) != nfkit::FileReadResult::Ok) {
        std::fprintf(stderr, "kelmdb: cannot read %s\n", path);
        return 1;
    }
    const std::uint32_t magic = bytes.size() >= 4 ? nfkit::ReadLe32(bytes.data()) : 0;
    if (magic == nfkit::kDetectionMagic) {
        std::vector<nfkit::DetectionRecord> records;
        const int result = nfkit::ParseDetectionFile(bytes, records);
        if (result < 0) {
            std::fprintf(stderr, "kelmdb: %s: detection file error %d\n", path, result);
            return 1;
        }
        std::fputs(kelmdb::DumpDetectionRecords(records).c_str(), stdout);
        return 0;
    }
    if (magic == nfkit::kSiteMagic) {
        nfkit::SiteDatabase database;
        const int result = nfkit::ParseSiteDatabase(bytes, nfkit::TodayDayNumber(), database);
        if (result < 0) {
            std::fprintf(stderr, "kelmdb: %s: site database error %d\n", path, result);
            return 1;
        }
        std::fputs(kelmdb::DumpSiteDatabase(database).c_str(), stdout);
        return 0;
    }
    std::fprintf(stderr, "kelmdb: %s is neither a detection file nor a site database\n", path);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "dump") == 0)
        return Dump(argv[2]);
    if ((argc == 4 || argc == 5) &&
        (std::strcmp(argv[1], "detections") == 0 || std::strcmp(argv[1], "sites") == 0)) {
        bool encipher = false;
        if (argc == 5) {
            if (std::strcmp(argv[4], "--encipher") != 0)
                return Usage();
            encipher = true;
        }
        return Build(argv[1], argv[2], argv[3], encipher);
    }
    return Usage();
}
