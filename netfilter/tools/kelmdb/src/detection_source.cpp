#include "database_source.h"
#include "source_lexer.h"

#include <kit/blowfish.h>
#include <kit/detection_file.h>
#include <kit/file_check.h>
#include <kit/key_table.h>
#include <win/hex.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kelmdb {

using nfkit::DetectionRecord;

namespace {

struct FlagName {
    const char* name;
    std::uint32_t bits;
};

constexpr FlagName kSingleFlags[] = {
    {"nocase", nfkit::kFlagNoCase}, {"group", nfkit::kFlagGroup},     {"ordered", nfkit::kFlagOrderedGroup},
    {"disarm", nfkit::kFlagDisarm}, {"aux", nfkit::kFlagAuxiliary},   {"http", nfkit::kStreamHttp},
    {"mail", nfkit::kStreamMail},   {"html", nfkit::kStreamHtml},     {"image", nfkit::kStreamImage},
    {"gzip", nfkit::kStreamGzip},
};

constexpr std::uint32_t kActionBits = nfkit::kFlagActionSet | nfkit::kFlagAction1 | nfkit::kFlagAction2;

constexpr FlagName kActions[] = {
    {"block", 0},
    {"action0", nfkit::kFlagActionSet},
    {"action1", nfkit::kFlagActionSet | nfkit::kFlagAction1},
    {"action2", nfkit::kFlagActionSet | nfkit::kFlagAction2},
    {"action3", nfkit::kFlagActionSet | nfkit::kFlagAction1 | nfkit::kFlagAction2},
};

bool ParseFlags(const std::string& text, std::uint32_t& flags, std::string& error)
{
    flags = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t bar = text.find('|', start);
        if (bar == std::string::npos)
            bar = text.size();
        const std::string part = text.substr(start, bar - start);
        bool known = false;
        for (const auto& f : kSingleFlags) {
            if (part == f.name) {
                flags |= f.bits;
                known = true;
            }
        }
        for (const auto& f : kActions) {
            if (part == f.name) {
                flags |= f.bits;
                known = true;
            }
        }
        if (!known) {
            auto number = ParseNumber(part, 0xFFFFFFFFull);
            if (!number) {
                error = "unknown flag '" + part + "'";
                return false;
            }
            flags |= static_cast<std::uint32_t>(*number);
        }
        start = bar + 1;
    }
    return true;
}

bool AddUnit(DetectionRecord& record, std::uint16_t unit, std::string& error)
{
    if (record.unitCount >= nfkit::kMaxPatternUnits) {
        error = "more than 33 pattern units";
        return false;
    }
    record.units[record.unitCount++] = unit;
    return true;
}

bool ParsePatternToken(const Token& token, DetectionRecord& record, std::string& error)
{
    if (token.quoted) {
        if (token.text.empty()) {
            error = "empty text in the pattern";
            return false;
        }
        for (char c : token.text) {
            if (!AddUnit(record, nfkit::MakeLiteralUnit(static_cast<std::uint8_t>(c)), error))
                return false;
        }
        return true;
    }
    const std::string& t = token.text;
    auto counted = [&](std::size_t prefix, bool gap) {
        auto n = ParseNumber(std::string_view(t).substr(prefix), 0xFFF);
        if (!n) {
            error = "'" + t + "': the count must be 0 to 4095";
            return false;
        }
        const auto count = static_cast<std::uint16_t>(*n);
        return AddUnit(record, gap ? nfkit::MakeGapUnit(count) : nfkit::MakeSkipUnit(count), error);
    };
    if (t.rfind("gap:", 0) == 0)
        return counted(4, true);
    if (t.rfind("skip:", 0) == 0)
        return counted(5, false);
    if (t.rfind("hex:", 0) == 0) {
        const std::string digits = t.substr(4);
        if (digits.empty() || digits.size() % 2 != 0) {
            error = "'" + t + "': hex needs pairs of digits";
            return false;
        }
        std::vector<std::uint8_t> bytes;
        if (!win::AppendHexBytes(digits, bytes)) {
            error = "'" + t + "': not hexadecimal";
            return false;
        }
        for (const std::uint8_t byte : bytes) {
            if (!AddUnit(record, nfkit::MakeLiteralUnit(byte), error))
                return false;
        }
        return true;
    }
    error = "unknown pattern unit '" + t + "'";
    return false;
}

std::string Hex32(std::uint32_t v)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", v);
    return buffer;
}

}  // namespace

bool ParseDetectionSource(std::string_view text, std::vector<DetectionRecord>& records, SourceError& error)
{
    records.clear();
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
        if (tokens->size() < 4)
            return fail("expected: <id> <sub-id> <flags> <pattern units>");
        DetectionRecord record;
        auto id = ParseNumber((*tokens)[0].text, 0xFFFFFFFEull);  // all bits set ends the table
        auto sub = ParseNumber((*tokens)[1].text, 0xFFFFFFFFull);
        if (!id)
            return fail("bad identifier '" + (*tokens)[0].text + "'");
        if (!sub)
            return fail("bad sub-identifier '" + (*tokens)[1].text + "'");
        record.id = static_cast<std::uint32_t>(*id);
        record.subId = static_cast<std::uint32_t>(*sub);
        if (!ParseFlags((*tokens)[2].text, record.flags, problem))
            return fail(problem);
        for (std::size_t i = 3; i < tokens->size(); ++i) {
            if (!ParsePatternToken((*tokens)[i], record, problem))
                return fail(problem);
        }
        if (record.unitCount < nfkit::kMinPatternUnits)
            return fail("a pattern needs at least 2 units");
        if (!nfkit::IsLiteralUnit(record.units[0]) || !nfkit::IsLiteralUnit(record.units[1]))
            return fail("a pattern must start with two literal bytes");
        nfkit::DeriveStartKeys(record);
        records.push_back(record);
    }
    return true;
}

std::vector<std::uint8_t> WriteDetectionFile(const std::vector<DetectionRecord>& records,
                                             const WriteOptions& options)
{
    std::vector<std::uint8_t> region(records.size() * nfkit::kDetectionRecordStep, 0);
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::uint8_t* raw = region.data() + i * nfkit::kDetectionRecordStep;
        const DetectionRecord& r = records[i];
        nfkit::WriteLe32(raw, r.id);
        nfkit::WriteLe32(raw + 4, r.subId);
        nfkit::WriteLe32(raw + 8, r.flags);
        raw[12] = r.unitCount;
        for (int u = 0; u < r.unitCount; ++u)
            nfkit::WriteLe16(raw + 14 + 2 * u, r.units[u]);
    }
    std::uint32_t flags = nfkit::kDetectionFlagCheckCrc;
    if (options.encipher) {
        BlowFishEnc cipher(nfkit::KeyText(nfkit::kDetectionFileKey));
        std::vector<std::uint8_t> enciphered(region.size() + 8);
        enciphered.resize(cipher.Encrypt(region.data(), region.size(), enciphered.data()));
        region = std::move(enciphered);
        flags |= nfkit::kDetectionFlagEnciphered;
    }
    std::vector<std::uint8_t> file(nfkit::kDetectionHeaderSize + region.size(), 0);
    std::copy(region.begin(), region.end(), file.begin() + nfkit::kDetectionHeaderSize);
    std::uint8_t* header = file.data();
    nfkit::WriteLe32(header, nfkit::kDetectionMagic);
    nfkit::WriteLe32(header + 20, flags);
    nfkit::WriteLe32(header + 24, static_cast<std::uint32_t>(records.size()));
    nfkit::WriteLe32(header + 28, nfkit::kDetectionRecordStep);
    nfkit::WriteLe32(header + 32, nfkit::kDetectionHeaderSize);
    nfkit::WriteLe32(header + 36, static_cast<std::uint32_t>(file.size()));
    nfkit::WriteLe32(header + 40, nfkit::Crc32From(file, nfkit::kDetectionHeaderSize));
    return file;
}

std::string FlagsText(std::uint32_t flags)
{
    std::string out;
    auto add = [&](const std::string& part) {
        if (!out.empty())
            out += '|';
        out += part;
    };
    const std::uint32_t action = flags & kActionBits;
    bool named = false;
    for (const auto& a : kActions) {
        if (a.bits == action) {
            add(a.name);
            named = true;
        }
    }
    std::uint32_t rest = named ? flags & ~kActionBits : flags;
    for (const auto& f : kSingleFlags) {
        if ((rest & f.bits) == f.bits) {
            add(f.name);
            rest &= ~f.bits;
        }
    }
    if (rest != 0)
        add(Hex32(rest));
    return out;
}

std::string PatternText(const DetectionRecord& record)
{
    std::string out;
    std::string text;
    auto flush = [&] {
        if (text.empty())
            return;
        if (!out.empty())
            out += ' ';
        out += '"' + text + '"';
        text.clear();
    };
    for (int u = 0; u < record.unitCount; ++u) {
        const std::uint16_t unit = record.units[u];
        if (nfkit::IsLiteralUnit(unit) && (unit >> 8) == 0) {
            const auto b = static_cast<unsigned char>(unit);
            if (b == '"' || b == '\\') {
                text += '\\';
                text += static_cast<char>(b);
            } else if (b >= 0x20 && b < 0x7F) {
                text += static_cast<char>(b);
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", b);
                text += escaped;
            }
            continue;
        }
        flush();
        if (!out.empty())
            out += ' ';
        char token[32];
        if (nfkit::IsGapUnit(unit))
            std::snprintf(token, sizeof token, "gap:%u", nfkit::UnitCount(unit));
        else if (nfkit::IsSkipUnit(unit))
            std::snprintf(token, sizeof token, "skip:%u", nfkit::UnitCount(unit));
        else  // a literal with bits in its type byte: only the low byte counts
            std::snprintf(token, sizeof token, "hex:%02x", static_cast<unsigned>(unit & 0xFF));
        out += token;
    }
    flush();
    return out;
}

std::string DumpDetectionRecords(const std::vector<DetectionRecord>& records)
{
    std::string out = "# id sub-id flags pattern\n";
    for (const DetectionRecord& r : records) {
        out += Hex32(r.id) + ' ' + std::to_string(r.subId) + ' ' + FlagsText(r.flags) + ' ' + PatternText(r) + '\n';
    }
    return out;
}

}  // namespace kelmdb
