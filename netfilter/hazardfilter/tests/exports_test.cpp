// The shared library as a host sees it: the exports found by name with
// dlopen/dlsym, driven in the documented order against the sample database.
#include "fake_host.h"

#include <kit/trace_log.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>

namespace {

class PluginLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_handle = dlopen(KELM_HAZARDFILTER_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr) << dlerror();
    }
    void TearDown() override
    {
        if (m_handle != nullptr)
            dlclose(m_handle);
    }
    template <class F>
    F Export(const char* name)
    {
        void* symbol = dlsym(m_handle, name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<F>(symbol);
    }

private:
    void* m_handle = nullptr;
};

TEST_F(PluginLibrary, ExportsTheInterfaceAndNothingOfTheSiteFilter)
{
    for (const char* name : {"GetPluginInfo", "InitPlugin", "InitPlugin2", "SetTrace", "TermPlugin", "LSPP_Send",
                             "LSPP_Recv", "LSPP_CloseSocket"})
        Export<void*>(name);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "LSPP_Connect"), nullptr);
}

TEST_F(PluginLibrary, RunsTheLifeCycleAgainstTheSampleDatabase)
{
    nftest::TempStateRoot root;
    auto getInfo = Export<GetPluginInfoFn>("GetPluginInfo");
    auto init = Export<InitPluginFn>("InitPlugin");
    auto setTrace = Export<SetTraceFn>("SetTrace");
    auto init2 = Export<InitPlugin2Fn>("InitPlugin2");
    auto send = Export<LSPP_SendFn>("LSPP_Send");
    auto recv = Export<LSPP_RecvFn>("LSPP_Recv");
    auto close = Export<LSPP_CloseSocketFn>("LSPP_CloseSocket");
    auto term = Export<TermPluginFn>("TermPlugin");

    EXPECT_EQ(getInfo(nullptr), KELM_FILTER_INVALID_PARAMETER);
    FilterPluginInfo info{};
    ASSERT_EQ(getInfo(&info), 0);
    EXPECT_STREQ(info.name, "KelmHazardFilter");

    nftest::FakeHost host;
    host.SetDetectionPath(KELM_SAMPLE_DETECTIONS);
    ASSERT_EQ(init(), 0);
    // Set after InitPlugin: the plug-in owns it and frees it in TermPlugin.
    ASSERT_EQ(setTrace(new GMCTraceLog(2, "test")), 0);
    ASSERT_EQ(init2(&host.context), 0);

    std::string request = "GET /sample HTTP/1.1\r\nHost: x\r\n\r\n";
    FilterBuffer out{static_cast<std::uint32_t>(request.size()), request.data()};
    ASSERT_EQ(send(5, &out, 1, out.len), 0);
    std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<p>kelm-disarm-sample</p>";
    FilterBuffer in{static_cast<std::uint32_t>(response.size()), response.data()};
    const auto remote = nftest::Address(0x7F000001, 80);
    EXPECT_EQ(recv(5, &in, 1, in.len, &remote), 0);
    EXPECT_NE(response.find("<p>XXXXXXXXXXXXXXXXXX</p>"), std::string::npos) << response;

    ASSERT_EQ(send(6, &out, 1, out.len), 0);
    std::string blocked = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\nkelm-block-sample";
    FilterBuffer in2{static_cast<std::uint32_t>(blocked.size()), blocked.data()};
    EXPECT_EQ(recv(6, &in2, 1, in2.len, &remote), KELM_FILTER_BLOCKED);
    EXPECT_EQ(close(5), 0);
    EXPECT_EQ(close(6), 0);
    EXPECT_EQ(term(), 0);
}

}  // namespace
