// The shim's cost: 1 GB over a loopback connection, with the shim and both
// real plug-ins (on the sample databases) and without, measured as the CPU
// time (user and system, all threads) of the program that moves the bytes.
// The stream carries nothing the filters would act on.
//
// Variants (the benchmark argument):
//   0  plain, no shim
//   1  the shim with the site filter only
//   2  the shim with both plug-ins, exploit scanning turned off (setting word 0)
//   3  the shim with both plug-ins, scanning every receive
// so the shim's own cost (1, 2) and the exploit scan's (3) show apart.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kBytes = "1073741824";

struct Run {
    double cpuSeconds = 0;
    bool ok = false;
};

enum Variant { kPlain = 0, kSiteFilterOnly = 1, kScanningOff = 2, kScanning = 3 };

Run Pump(int variant, const char* mode, const std::string& root)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).rfind("LD_PRELOAD=", 0) != 0)
            env.emplace_back(*entry);
    }
    if (variant != kPlain) {
        env.push_back(std::string("LD_PRELOAD=") + KELM_LSP_SHIM);
        env.push_back("KELM_STATE_ROOT=" + root);
        env.push_back(std::string("KELM_LSP_HOST_PLUGIN=") + KELM_HOSTFILTER);
        env.push_back(std::string("KELM_LSP_HAZARD_PLUGIN=") + (variant == kSiteFilterOnly ? "" : KELM_HAZARDFILTER));
        env.push_back(std::string("KELM_LSP_EXPLOIT_FILTER=") + (variant == kScanning ? "1" : "0"));
        env.push_back(std::string("KELM_LSP_SITE_DATABASE=") + KELM_SAMPLES_DIR + "/sites.dat");
        env.push_back(std::string("KELM_LSP_DETECTION_FILE=") + KELM_SAMPLES_DIR + "/detections.dat");
    }
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = KELM_PUMP;
    std::string bytes = kBytes;
    std::string modeText = mode;
    char* argv[] = {program.data(), bytes.data(), modeText.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Run run;
    if (rc != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}

// The reported time is the child's CPU time; bytes_per_second counts the
// gigabyte.
void BM_Loopback1GB(benchmark::State& state, const char* mode)
{
    int variant = static_cast<int>(state.range(0));
    std::string root = std::filesystem::temp_directory_path() / ("lsp-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    for (auto _ : state) {
        Run run = Pump(variant, mode, root);
        if (!run.ok) {
            state.SkipWithError("the pump failed");
            break;
        }
        state.SetIterationTime(run.cpuSeconds);
    }
    state.SetBytesProcessed(state.iterations() * 1073741824LL);
    static const char* const kLabels[] = {"plain", "shim, site filter only", "shim, scanning off", "shim, scanning"};
    state.SetLabel(kLabels[variant]);
    std::filesystem::remove_all(root);
}

BENCHMARK_CAPTURE(BM_Loopback1GB, html, "html")->DenseRange(0, 3)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Loopback1GB, binary, "binary")->DenseRange(0, 3)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
