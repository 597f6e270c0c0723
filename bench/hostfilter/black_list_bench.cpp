// InBlackList on a full-size site database (500,000 entries, the format's
// limit): lookups per second for the texts a connect and a send hand it, with
// name resolution stubbed; and the time and memory to load that database.
//
// The database mixes the five tables the way a real list leans: mostly host
// names, domains and URLs, fewer addresses and networks.
#include "black_list.h"
#include "site_list_loader.h"
#include "support/site_file_writer.h"

#include "kit/clock.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using hostfilter::testing::SiteFileWriter;

constexpr int kEntries = 500000;

// A host name for entry I: a label of random letters (so the entries' first
// bytes spread over the whole alphabet, the hard case for the URL index),
// the number, and one of a thousand second-level names.
std::string HostName(int i)
{
    std::mt19937 random(static_cast<uint32_t>(i) * 2654435761u);
    std::string label;
    for (int k = 0, n = 3 + static_cast<int>(random() % 6); k < n; ++k)
        label.push_back(static_cast<char>('a' + random() % 26));
    return label + std::to_string(i) + ".site" + std::to_string(i % 997) + ".com";
}

const std::string& DatabasePath()
{
    static const std::string path = [] {
        std::string file = "/tmp/hostfilter-bench-" + std::to_string(::getpid()) + ".dat";
        SiteFileWriter writer;
        for (uint16_t c = 1; c <= 20; ++c)
            writer.AddCategory(c, static_cast<uint8_t>(1 + c % 3), "type" + std::to_string(c), "Category " + std::to_string(c));
        std::mt19937 random(42);
        for (int i = 0; i < kEntries; ++i) {
            uint16_t category = static_cast<uint16_t>(1 + i % 20);
            switch (i % 10) {
            case 0:
                writer.AddAddress(hostfilter::testing::kAddress, 0, category, 0x0B000000u + static_cast<uint32_t>(i));
                break;
            case 1:
                writer.AddAddress(hostfilter::testing::kNetwork, 0, category,
                                  (0x0C000000u + (static_cast<uint32_t>(i) << 8)) & 0xFFFFFF00u);
                break;
            case 2:
            case 3:
                writer.AddText(hostfilter::testing::kDomain, 0, category, HostName(i).substr(HostName(i).find('.') + 1) +
                                                                              std::to_string(i));
                break;
            case 4:
            case 5:
            case 6:
                writer.AddText(hostfilter::testing::kHostName, 0, category, HostName(i));
                break;
            default:
                writer.AddText(hostfilter::testing::kUrl, 0, category,
                               HostName(i) + "/path/" + std::to_string(random() % 100000) + "/ad.js");
                break;
            }
        }
        writer.WriteTo(file);
        std::atexit([] { std::remove(("/tmp/hostfilter-bench-" + std::to_string(::getpid()) + ".dat").c_str()); });
        return file;
    }();
    return path;
}

const hostfilter::SiteLookup& Lookup()
{
    static const std::unique_ptr<hostfilter::SiteLookup> lookup = [] {
        std::unique_ptr<hostfilter::SiteLookup> out;
        hostfilter::LoadSiteList(DatabasePath(), nfkit::TodayDayNumber(), out);
        return out;
    }();
    return *lookup;
}

// The stub answers at once with an address that is not listed.
std::optional<uint32_t> StubResolve(const std::string&)
{
    return 0x7F000001u;
}

void RunLookups(benchmark::State& state, const std::vector<std::string>& texts)
{
    const hostfilter::SiteLookup& lookup = Lookup();
    hostfilter::NameResolver resolve = StubResolve;
    std::size_t i = 0;
    int64_t listed = 0;
    for (auto _ : state) {
        hostfilter::BlackListResult result;
        listed += hostfilter::InBlackList(&lookup, texts[i], resolve, &result) ? 1 : 0;
        i = (i + 1) % texts.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["listed_share"] = static_cast<double>(listed) / static_cast<double>(state.iterations());
}

// Request URLs of a send: host plus path, half of them listed (by host name,
// domain or URL), half not.
void BM_InBlackList_RequestUrl(benchmark::State& state)
{
    std::vector<std::string> texts;
    for (int i = 0; i < 4096; ++i) {
        int n = (i * 7919) % kEntries;
        if (i % 2 == 0)
            texts.push_back(HostName(n) + "/index.html?page=" + std::to_string(i));  // listed when n%10 in 4..6
        else
            texts.push_back("www.unlisted" + std::to_string(i) + ".example.org/some/long/path/page" +
                            std::to_string(i) + ".html?query=value&other=" + std::to_string(i * 31));
    }
    RunLookups(state, texts);
}
BENCHMARK(BM_InBlackList_RequestUrl);

// Dotted addresses of a connect: no resolution, one or two searches.
void BM_InBlackList_Address(benchmark::State& state)
{
    std::vector<std::string> texts;
    for (int i = 0; i < 4096; ++i) {
        uint32_t address = (i % 2 == 0) ? 0x0B000000u + static_cast<uint32_t>((i * 10) % kEntries) : 0x0A000000u + static_cast<uint32_t>(i);
        texts.push_back(std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
                        std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255));
    }
    RunLookups(state, texts);
}
BENCHMARK(BM_InBlackList_Address);

// Loading the database file: the kit's reader, then the lookup tables.
// Counters: the entries loaded, the tables' own estimate of their size and
// the heap the loaded list keeps (measured with mallinfo2).
void BM_LoadSiteList(benchmark::State& state)
{
    const std::string& path = DatabasePath();
    std::size_t entries = 0;
    std::size_t tableBytes = 0;
    std::size_t heapBytes = 0;
    for (auto _ : state) {
        malloc_trim(0);
        std::size_t before = mallinfo2().uordblks;
        std::unique_ptr<hostfilter::SiteLookup> lookup;
        int result = hostfilter::LoadSiteList(path, nfkit::TodayDayNumber(), lookup);
        if (result <= 0 || lookup == nullptr) {
            state.SkipWithError("the database did not load");
            return;
        }
        heapBytes = mallinfo2().uordblks - before;
        entries = lookup->EntryCount();
        tableBytes = lookup->MemoryBytes();
        state.PauseTiming();
        lookup.reset();
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["table_MB"] = static_cast<double>(tableBytes) / (1024.0 * 1024.0);
    state.counters["heap_kept_MB"] = static_cast<double>(heapBytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_LoadSiteList)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
