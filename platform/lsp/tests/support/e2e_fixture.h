// The end-to-end tests' common ground: a fresh state root, the sample
// databases the build makes with kelmdb, a local HTTP server and curl run
// under the shim with both real plug-ins.
//
// These run only in the normal build: curl is not built with the address
// sanitizer, and an ASan-built shim cannot be preloaded into it.
#pragma once

#include "support/child_process.h"
#include "support/http_server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace lsp::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitizerBuild = true;
#else
inline constexpr bool kSanitizerBuild = false;
#endif
#else
inline constexpr bool kSanitizerBuild = false;
#endif

class CurlThroughShim : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kSanitizerBuild)
            GTEST_SKIP() << "curl cannot load the sanitizer build of the shim";
        char pattern[] = "/tmp/lsp-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_env = {
            {"LD_PRELOAD", KELM_LSP_SHIM},
            {"KELM_STATE_ROOT", m_root},
            {"KELM_LSP_HOST_PLUGIN", KELM_HOSTFILTER},
            {"KELM_LSP_HAZARD_PLUGIN", KELM_HAZARDFILTER},
            {"KELM_LSP_SITE_DATABASE", std::string(KELM_SAMPLES_DIR) + "/sites.dat"},
            {"KELM_LSP_DETECTION_FILE", std::string(KELM_SAMPLES_DIR) + "/detections.dat"},
            // The site filter resolves the names of requests; a test machine
            // without a name server must not make that slow.
            {"RES_OPTIONS", "timeout:1 attempts:1"},
        };
    }

    void TearDown() override
    {
        if (!m_root.empty())
            std::filesystem::remove_all(m_root);
    }

    // Runs curl (under the shim unless UNDERSHIM is false) on URL into the
    // file OUTPUT, with EXTRA options before the URL.
    ChildResult Curl(const std::string& url, const std::string& output, std::vector<std::string> extra = {},
                     bool underShim = true)
    {
        std::vector<std::string> args = {"curl", "-4", "--silent", "--show-error", "--max-time", "30",
                                          "--noproxy", "*", "-o", output};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(url);
        std::map<std::string, std::string> env = m_env;
        if (!underShim)
            env.erase("LD_PRELOAD");
        return RunChild(args, env, m_root);
    }

    // "--resolve NAME:PORT:127.0.0.1", so curl needs no name server.
    std::vector<std::string> Resolve(const std::string& name, int port) const
    {
        return {"--resolve", name + ":" + std::to_string(port) + ":127.0.0.1"};
    }

    std::string Output(const std::string& name) const { return m_root + "/" + name; }
    std::string Read(const std::string& name) const { return ReadWholeFile(Output(name)); }
    std::string ShimLog() const { return ReadWholeFile(m_root + "/logs/kelmlsp.log"); }

    std::string m_root;
    std::map<std::string, std::string> m_env;
};

}  // namespace lsp::testing
