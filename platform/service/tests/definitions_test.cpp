// The definitions parser, the file matcher, the walk, the cookie and hosts
// line readers and the vault, in process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "definitions.h"
#include "file_matcher.h"
#include "scan_engine.h"
#include "text_stores.h"
#include "vault.h"

namespace fs = std::filesystem;
using namespace korvad;

namespace {

const std::string kHead = "format 1\nversion 1.2.3.4\n";

std::string OnePackage(const std::string& items)
{
    return kHead + "package demo-one\n  name Demo One\n  type Adware\n  severity mild\n" + items + "end\n";
}

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/korvad-test-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }
    std::string Write(const std::string& rel, const std::string& content) const
    {
        const fs::path path = fs::path(m_path) / rel;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

private:
    std::string m_path;
};

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Definitions, SampleFileLoads)
{
    Definitions defs;
    std::string error;
    ASSERT_TRUE(LoadDefinitions(KORVAD_SAMPLE_DEFS, defs, &error)) << error;
    EXPECT_EQ(defs.version, "1.0.0.7");
    ASSERT_EQ(defs.packages.size(), 4u);
    const Package* keypeek = defs.Find("kelm-demo-keypeek");
    ASSERT_NE(keypeek, nullptr);
    EXPECT_EQ(keypeek->type, "Spyware,Trojan");
    EXPECT_EQ(keypeek->SeverityNumber(), 3);
    ASSERT_EQ(keypeek->items.size(), 4u);
    EXPECT_EQ(keypeek->items[1].kind, MatchKind::Sha256);
    EXPECT_EQ(keypeek->items[1].size, 58u);
    EXPECT_EQ(keypeek->items[2].kind, MatchKind::RegistryValue);
    EXPECT_EQ(keypeek->items[2].keyPath, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(keypeek->items[2].valueName, "KeyPeekSample");
    EXPECT_EQ(defs.Find("KELM-DEMO-KEYPEEK"), nullptr) << "codes compare exactly";
}

TEST(Definitions, ItemForms)
{
    Definitions defs;
    std::string error;
    ASSERT_TRUE(ParseDefinitions(OnePackage("  content 1 text:a b c d\n"
                                         "  content 2 hex:DEADbeef\n"
                                         "  file_name 3 Helper.DAT\n"
                                         "  registry_key 4 HKLM\\Software\\X\n"
                                         "  cookie 5 Ads.Example\n"
                                         "# a comment\n"
                                         "  hosts 6 evil.example\n"),
                                 defs, &error))
        << error;
    const auto& items = defs.packages.at(0).items;
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(std::string(items[0].bytes.begin(), items[0].bytes.end()), "a b c d");
    EXPECT_EQ(items[1].bytes, (std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef}));
    EXPECT_EQ(items[2].text, "helper.dat");
    EXPECT_EQ(items[3].hive, win::Hive::LocalMachine);
    EXPECT_EQ(items[4].text, "ads.example");
}

struct BadInput {
    const char* label;
    std::string text;
    const char* error;  // expected start of the message
};

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.label; }

class DefinitionsRefuse : public ::testing::TestWithParam<BadInput> {};

TEST_P(DefinitionsRefuse, WithTheLineAndWhy)
{
    Definitions defs;
    std::string error;
    EXPECT_FALSE(ParseDefinitions(GetParam().text, defs, &error));
    EXPECT_EQ(error.rfind(GetParam().error, 0), 0u) << error;
    EXPECT_TRUE(defs.packages.empty());
    EXPECT_TRUE(defs.version.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefinitionsRefuse,
    ::testing::Values(
        BadInput{"empty", "", "line 1: no \"format 1\" line"},
        BadInput{"no_format", "version 1.0.0.1\n", "line 1: the file must start with \"format 1\""},
        BadInput{"future_format", "format 2\n", "line 1: unknown format \"2\""},
        BadInput{"no_version", "format 1\n", "line 2: no \"version\" line"},
        BadInput{"bad_version", "format 1\nversion 1.2.3\n", "line 2: the version is four numbers"},
        BadInput{"unknown_keyword", OnePackage("  regex 1 a.*\n"), "line 7: unknown keyword \"regex\""},
        BadInput{"item_outside", kHead + "cookie 1 a.example\n", "line 3: \"cookie\" outside a package"},
        BadInput{"missing_end", kHead + "package p\n name P\n severity low\n cookie 1 a.example\n",
                 "line 7: package \"p\" has no \"end\""},
        BadInput{"nested", kHead + "package p\npackage q\n", "line 4: package inside package"},
        BadInput{"no_name", kHead + "package p\n severity low\n cookie 1 a.example\nend\n",
                 "line 6: package \"p\" has no name"},
        BadInput{"no_items", kHead + "package p\n name P\n severity low\nend\n", "line 6: package \"p\" has no items"},
        BadInput{"bad_severity", kHead + "package p\n severity severe\n", "line 4: severity is low, mild"},
        BadInput{"duplicate_package", OnePackage("  cookie 1 a.example\n") + "package demo-one\n",
                 "line 9: package \"demo-one\" is defined twice"},
        BadInput{"duplicate_id", OnePackage("  cookie 1 a.example\n  hosts 1 b.example\n"),
                 "line 8: definition id 1 is used twice"},
        BadInput{"zero_id", OnePackage("  cookie 0 a.example\n"), "line 7: \"cookie\" needs a definition id"},
        BadInput{"odd_hex", OnePackage("  content 1 hex:abc\n"), "line 7: \"hex:\" needs pairs of hex digits"},
        BadInput{"not_hex", OnePackage("  content 1 hex:zzzzzzzz\n"), "line 7: \"hex:\" needs pairs of hex digits"},
        BadInput{"short_pattern", OnePackage("  content 1 text:abc\n"), "line 7: a content pattern is 4 to 1024"},
        BadInput{"no_prefix", OnePackage("  content 1 abcdef\n"), "line 7: a content pattern starts with"},
        BadInput{"short_hash", OnePackage("  sha256 1 abcd\n"), "line 7: sha256 needs 64 hex digits"},
        BadInput{"bad_size", OnePackage("  sha256 1 " + std::string(64, 'a') + " big\n"), "line 7: the size after"},
        BadInput{"slash_name", OnePackage("  file_name 1 a/b\n"), "line 7: a file name has no \"/\""},
        BadInput{"bad_hive", OnePackage("  registry_key 1 HKXX\\Software\n"), "line 7: a registry key starts with"},
        BadInput{"hive_only", OnePackage("  registry_key 1 HKCU\n"), "line 7: a registry key starts with"},
        BadInput{"value_without_bar", OnePackage("  registry_value 1 HKCU\\Software\\X\n"), "line 7: registry_value is"},
        BadInput{"bad_domain", OnePackage("  cookie 1 a b.example\n"), "line 7: \"cookie\" needs a domain"},
        BadInput{"bad_code", kHead + "package a/b\n", "line 3: a package code is"},
        BadInput{"control_char", kHead + "package p\x01\n", "line 3: control character"},
        BadInput{"long_line", kHead + "# " + std::string(5000, 'x') + "\n", "line 3: line longer than 4096"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(FileMatcher, ContentAcrossChunksHashBySizeAndNamesWithoutCase)
{
    Definitions defs;
    std::string error;
    const std::string content = "hello, sample file\n";  // 19 bytes
    ASSERT_TRUE(ParseDefinitions(OnePackage("  content 1 text:NEEDLE-IN-HAY\n"
                                         "  sha256 2 a44e2cd8b5e3c34c6a0b0b1c7b3d2d1e9f8f2f7f3f4c4c6b0e8c1a1b2c3d4e5f 19\n"
                                         "  file_name 3 Bad.Bin\n"),
                                 defs, &error))
        << error;
    TempFolder dir;
    // The pattern straddles the 256 KiB read boundary.
    std::string big((256u << 10) - 5, 'x');
    big += "NEEDLE-IN-HAY";
    big += std::string(1000, 'y');
    const std::string straddle = dir.Write("straddle.txt", big);
    const std::string beyond = dir.Write("beyond.txt", std::string(4096, 'z') + "NEEDLE-IN-HAY");

    const auto match = [&](const std::string& path, const std::string& name, std::uint64_t maxBytes) {
        FileMatcher matcher(defs, maxBytes);
        const int fd = ::open(path.c_str(), O_RDONLY);
        struct stat st {};
        ::fstat(fd, &st);
        std::vector<std::uint8_t> buffer;
        std::vector<FileHit> hits;
        matcher.Match(fd, static_cast<std::uint64_t>(st.st_size), name, buffer, hits);
        ::close(fd);
        std::vector<long long> ids;
        for (const auto& hit : hits)
            ids.push_back(hit.item->id);
        return ids;
    };
    EXPECT_EQ(match(straddle, "straddle.txt", 1u << 20), std::vector<long long>{1});
    // Only the first bytes are read: a marker past the bound is not seen.
    EXPECT_TRUE(match(beyond, "beyond.txt", 4096).empty());
    EXPECT_EQ(match(beyond, "BAD.bin", 4096), std::vector<long long>{3});
}

TEST(FileMatcher, Sha256OfTheWholeFile)
{
    Definitions defs;
    std::string error;
    // SHA-256 of "abc".
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    ASSERT_TRUE(ParseDefinitions(OnePackage("  sha256 1 " + abc + "\n  sha256 2 " + abc + " 4\n"), defs, &error)) << error;
    TempFolder dir;
    const std::string path = dir.Write("abc", "abc");
    FileMatcher matcher(defs, 1u << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<std::uint8_t> buffer;
    std::vector<FileHit> hits;
    matcher.Match(fd, 3, "abc", buffer, hits);
    ::close(fd);
    ASSERT_EQ(hits.size(), 1u) << "the sized item names another size";
    EXPECT_EQ(hits[0].item->id, 1);
}

class RecordingObserver : public ScanObserver {
public:
    void OnInitialized() override { initialized = true; }
    void OnProgress(const ScanProgress& progress) override { scanners.push_back(progress.scanner); }
    void OnFinding(Finding finding) override { findings.push_back(std::move(finding)); }
    bool initialized = false;
    std::vector<std::string> scanners;
    std::vector<Finding> findings;
};

TEST(ScanEngine, WalkSkipsLinksAndLoopsAndFindsByNameAndContent)
{
    TempFolder state;
    ::setenv("KELM_STATE_ROOT", state.Path().c_str(), 1);
    Definitions defs;
    std::string error;
    ASSERT_TRUE(ParseDefinitions(OnePackage("  content 1 text:MARKER-TEXT\n  file_name 2 found.me\n"), defs, &error));
    TempFolder dir;
    dir.Write("a/one.txt", "has MARKER-TEXT inside");
    dir.Write("a/b/found.me", "");
    dir.Write("clean/two.txt", "nothing");
    // A loop back to the top and a link to a matching file elsewhere: the
    // walk follows neither.
    TempFolder outside;
    outside.Write("linked.txt", "MARKER-TEXT");
    fs::create_directory_symlink(dir.Path(), fs::path(dir.Path()) / "a" / "loop");
    fs::create_symlink(fs::path(outside.Path()) / "linked.txt", fs::path(dir.Path()) / "link.txt");

    auto shared = std::make_shared<Definitions>(defs);
    ScanEngine engine(shared, ScanSettings());
    ScanControl control;
    std::vector<std::string> files;
    std::vector<Finding> found;
    const ScanTotals totals = engine.ScanFolders(
        {dir.Path()}, {}, control, [&](const std::string& path) { files.push_back(path); },
        [&](Finding f) { found.push_back(std::move(f)); });
    EXPECT_EQ(totals.files, 3u);
    ASSERT_EQ(found.size(), 2u);
    std::set<std::string> paths{found[0].path, found[1].path};
    EXPECT_EQ(paths, (std::set<std::string>{dir.Path() + "/a/one.txt", dir.Path() + "/a/b/found.me"}));

    // A partial folder gives only its own files.
    found.clear();
    engine.ScanFolders({}, {dir.Path() + "/a"}, control, [](const std::string&) {}, [&](Finding f) { found.push_back(f); });
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, dir.Path() + "/a/one.txt");
    ::unsetenv("KELM_STATE_ROOT");
}

TEST(ScanEngine, StopEndsTheRunAndUnknownScannersFindNothing)
{
    TempFolder state;
    ::setenv("KELM_STATE_ROOT", state.Path().c_str(), 1);
    Definitions defs;
    std::string error;
    ASSERT_TRUE(ParseDefinitions(OnePackage("  file_name 1 x.bin\n"), defs, &error));
    ScanEngine engine(std::make_shared<Definitions>(defs), ScanSettings());
    RecordingObserver observer;
    ScanControl control;
    ScanJob job;
    job.scanners = {"quarantine", "driver"};
    engine.Run(job, control, observer);
    EXPECT_TRUE(observer.initialized);
    EXPECT_TRUE(observer.findings.empty());
    EXPECT_NE(std::find(observer.scanners.begin(), observer.scanners.end(), "driver"), observer.scanners.end());

    RecordingObserver stopped;
    ScanControl stopControl;
    stopControl.Stop();
    engine.Run(job, stopControl, stopped);
    EXPECT_TRUE(stopped.scanners.empty());
    ::unsetenv("KELM_STATE_ROOT");
}

TEST(TextStores, CookieLinesAndHostsLines)
{
    CookieLine cookie;
    EXPECT_TRUE(ParseCookieLine(".Ads.Example\tTRUE\t/x\tFALSE\t0\tid\tv", cookie));
    EXPECT_EQ(cookie.domain, "ads.example");
    EXPECT_EQ(CookieItemName(cookie), "id@ads.example/x");
    EXPECT_TRUE(ParseCookieLine("#HttpOnly_a.example\tFALSE\t/\tFALSE\t0\tn\t", cookie));
    EXPECT_FALSE(ParseCookieLine("# comment", cookie));
    EXPECT_FALSE(ParseCookieLine("a.example\tFALSE\t/", cookie));
    EXPECT_TRUE(DomainMatches("eu.ads.example", "ads.example"));
    EXPECT_TRUE(DomainMatches("ads.example", "ads.example"));
    EXPECT_FALSE(DomainMatches("badads.example", "ads.example"));

    EXPECT_EQ(HijackedHosts("203.0.113.7  Update.Evil.example other.example # note"),
              (std::vector<std::string>{"update.evil.example", "other.example"}));
    EXPECT_TRUE(HijackedHosts("127.0.0.1 evil.example").empty()) << "blocking is no hijack";
    EXPECT_TRUE(HijackedHosts("0.0.0.0 evil.example").empty());
    EXPECT_TRUE(HijackedHosts("# 1.2.3.4 evil.example").empty());
    EXPECT_TRUE(HijackedHosts("1.2.3.4").empty());
}

TEST(TextStores, AtomicRewriteKeepsMode)
{
    TempFolder dir;
    const std::string path = dir.Write("hosts", "old\n");
    ::chmod(path.c_str(), 0640);
    std::string error;
    ASSERT_TRUE(WriteLinesAtomically(path, {"a", "b"}, &error)) << error;
    EXPECT_EQ(Read(path), "a\nb\n");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_FALSE(fs::exists(path + ".korvad-tmp"));
}

TEST(Vault, MovesInAndOutWithoutLossAndNeverOverwrites)
{
    TempFolder dir;
    Vault vault(dir.Path() + "/vault");
    const std::string original = dir.Write("home/doc.txt", "precious bytes");
    std::string error;
    ASSERT_TRUE(vault.MoveIn(original, "item1", &error)) << error;
    EXPECT_FALSE(fs::exists(original));
    EXPECT_EQ(Read(vault.PathOf("item1")), "precious bytes");

    // Something new at the old place: restoring must not replace it.
    dir.Write("home/doc.txt", "newer file");
    EXPECT_FALSE(vault.MoveOut("item1", original, &error));
    EXPECT_EQ(Read(original), "newer file");
    EXPECT_TRUE(vault.Contains("item1"));

    fs::remove(original);
    fs::remove_all(dir.Path() + "/home");
    ASSERT_TRUE(vault.MoveOut("item1", original, &error)) << error;
    EXPECT_EQ(Read(original), "precious bytes");
    EXPECT_FALSE(vault.Contains("item1"));

    // Only regular files go in.
    fs::create_symlink(original, dir.Path() + "/link");
    EXPECT_FALSE(vault.MoveIn(dir.Path() + "/link", "item2", &error));
    EXPECT_TRUE(fs::is_symlink(dir.Path() + "/link"));
}

}  // namespace
