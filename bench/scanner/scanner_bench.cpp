// The scanner's file throughput over a generated tree of 100,000 files
// (100 folders of 1,000; sizes 256 B to 16 KiB, about 530 MB in all, a few
// of them carrying a marker), against the sample definitions.
//
// The tree is generated once into $KORVAD_BENCH_TREE (default
// /tmp/korvad-scan-bench) and kept for later runs; delete it to rebuild.
// Runs read from the page cache after the first pass, so the figures are the
// walk, the system calls and the matcher, not the disk. BM_WalkNamesOnly is
// the floor (no file opened), BM_MatchMemory the matcher alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

#include "definitions.h"
#include "file_matcher.h"
#include "scan_engine.h"

namespace fs = std::filesystem;
using namespace korvad;

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 1000;

std::string TreePath()
{
    const char* env = std::getenv("KORVAD_BENCH_TREE");
    return env != nullptr && *env != '\0' ? env : "/tmp/korvad-scan-bench";
}

const std::string& Tree()
{
    static const std::string path = [] {
        const std::string root = TreePath();
        // The walk skips korvad's vault, found through the state root; keep
        // that lookup inside the bench's own folder.
        ::setenv("KELM_STATE_ROOT", (root + "-state").c_str(), 1);
        const fs::path done = fs::path(root) / ".complete";
        if (fs::exists(done))
            return root;
        fs::remove_all(root);
        std::mt19937 random(42);
        const std::size_t sizes[] = {256, 1024, 2048, 4096, 8192, 16384};
        std::string block(16384, 'x');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
        for (int d = 0; d < kFolders; ++d) {
            const fs::path folder = fs::path(root) / ("d" + std::to_string(d / 10)) / ("e" + std::to_string(d));
            fs::create_directories(folder);
            for (int f = 0; f < kFilesPerFolder; ++f) {
                std::ofstream out(folder / ("f" + std::to_string(f) + ".dat"), std::ios::binary);
                std::string content = block.substr(0, sizes[random() % 6]);
                if (f == 500)  // one detected file per folder
                    content += "KELM-DEMO-" + std::string("KEYPEEK");
                out << content;
            }
        }
        std::ofstream(done) << "ok";
        return root;
    }();
    return path;
}

std::shared_ptr<const Definitions> Sample()
{
    static const std::shared_ptr<const Definitions> definitions = [] {
        auto defs = std::make_shared<Definitions>();
        std::string error;
        if (!LoadDefinitions(KORVAD_SAMPLE_DEFS, *defs, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
        return defs;
    }();
    return definitions;
}

void ScanTree(benchmark::State& state, std::shared_ptr<const Definitions> definitions)
{
    const std::string tree = Tree();
    ScanEngine engine(definitions, ScanSettings());
    std::uint64_t files = 0, bytes = 0, found = 0;
    for (auto _ : state) {
        ScanControl control;
        const ScanTotals totals = engine.ScanFolders(
            {tree}, {}, control, [](const std::string&) {}, [&](Finding) { ++found; });
        files += totals.files;
        bytes += totals.bytes;
    }
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["found/run"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}

// The whole file scanner with the sample definitions: names, content
// patterns and the hash item (whose size filter spares most files).
void BM_ScanTree(benchmark::State& state) { ScanTree(state, Sample()); }
BENCHMARK(BM_ScanTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Only name items: the walk alone, no file opened.
void BM_WalkNamesOnly(benchmark::State& state)
{
    auto defs = std::make_shared<Definitions>();
    std::string error;
    ParseDefinitions("format 1\nversion 1.0.0.0\npackage p\n name P\n severity low\n file_name 1 x.bin\nend\n",
                     *defs, &error);
    ScanTree(state, defs);
}
BENCHMARK(BM_WalkNamesOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The matcher on a 64 MiB in-memory file: how fast content is matched once
// it is read.
void BM_MatchMemory(benchmark::State& state)
{
    FileMatcher matcher(*Sample(), 1u << 30);
    const int fd = ::memfd_create("korvad-bench", 0);
    const std::string chunk(1 << 20, 'q');
    for (int i = 0; i < 64; ++i)
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size()))
            std::abort();
    std::vector<std::uint8_t> buffer;
    std::vector<FileHit> hits;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        ::lseek(fd, 0, SEEK_SET);
        hits.clear();
        bytes += matcher.Match(fd, 64u << 20, "big.bin", buffer, hits);
    }
    ::close(fd);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MatchMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
