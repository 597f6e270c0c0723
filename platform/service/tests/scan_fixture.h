// korvad on a private bus with the sample definitions, its quick and full
// scans pointed at a demo area inside the test's state root, a hosts file
// of its own, and a client that records the scanner's and the quarantine's
// notifications.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sys/wait.h>
#include <thread>

#include "korvad_fixture.h"
#include "servicelink/korva_client.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_provider.h"
#include "servicelink/msg_results.h"

class NotificationLog : public CMsgProvider {
public:
    void BuildMap() override
    {
        for (const char* name : {"korva.scanner.client_notify", "korva.extraction.notify",
                                 "korva.quarantine.notify.restore", "korva.config.notify"}) {
            AddProvider(std::string("root:") + name, [this](CMsgRequest& request) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_events.push_back(request);
                m_changed.notify_all();
                return true;
            });
        }
    }

    // Waits until PREDICATE holds for the events so far.
    bool WaitFor(const std::function<bool(const std::vector<CMsgRequest>&)>& predicate, int timeoutMs = 20000)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return predicate(m_events); });
    }

    std::vector<CMsgRequest> Events(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<CMsgRequest> out;
        for (const auto& event : m_events)
            if (event.GetRequestName() == name)
                out.push_back(event);
        return out;
    }

    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.clear();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<CMsgRequest> m_events;
};

class ScanTest : public KorvadTest {
protected:
    void SetUp() override
    {
        m_area = m_state.Path() + "/demo-area";
        m_hosts = m_state.Path() + "/hosts";
        ::setenv("KORVAD_DEFINITIONS", KORVAD_SAMPLE_DEFS, 1);
        ::setenv("KORVAD_QUICK_FOLDERS", m_area.c_str(), 1);
        ::setenv("KORVAD_FULL_FOLDERS", m_area.c_str(), 1);
        ::setenv("KORVAD_HOSTS_FILE", m_hosts.c_str(), 1);
        ::setenv("KORVAD_SCAN_THROTTLE_US", std::to_string(ThrottleMicros()).c_str(), 1);
        KorvadTest::SetUp();
        ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &m_log, 1));
        ASSERT_TRUE(m_client.Initialize(0));
        for (const char* name : {"korva.scanner.client_notify", "korva.extraction.notify",
                                 "korva.quarantine.notify.restore", "korva.config.notify"})
            ASSERT_TRUE(m_client.RegisterCallback(name));
    }

    void TearDown() override
    {
        m_client.TermCallbacks();
        CMsgDispatcher::Instance().DeleteTarget("qvclient");
        KorvadTest::TearDown();
        for (const char* name : {"KORVAD_DEFINITIONS", "KORVAD_QUICK_FOLDERS", "KORVAD_FULL_FOLDERS",
                                 "KORVAD_HOSTS_FILE", "KORVAD_SCAN_THROTTLE_US"})
            ::unsetenv(name);
    }

    virtual int ThrottleMicros() const { return 0; }

    // Runs korvad-demo-area on the test's state root.
    void Plant()
    {
        bus_testing::ChildProcess demo;
        ASSERT_TRUE(demo.Start(KORVAD_DEMO_PATH, {"--hosts", m_hosts, m_area}));
        int status = 0;
        ASSERT_TRUE(demo.WaitExit(10000, &status));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    static CMsgResults Run(const std::string& name, const CDictionary& values = {}, unsigned timeoutMs = 10000)
    {
        CMsgRequest request(0);
        for (const auto& [key, value] : values)
            request[key] = value;
        return request.Execute(name, timeoutMs);
    }

    static bool IsEnd(const CMsgRequest& event)
    {
        const std::string e = event.GetValue("scan_event").ToString();
        return e == "complete" || e == "exception";
    }

    // Waits for the scan's end notification.
    bool WaitForEnd(int timeoutMs = 30000)
    {
        return m_log.WaitFor(
            [](const std::vector<CMsgRequest>& events) {
                return std::any_of(events.begin(), events.end(), [](const CMsgRequest& e) {
                    return e.GetRequestName() == "korva.scanner.client_notify" && IsEnd(e);
                });
            },
            timeoutMs);
    }

    // Starts a scan and waits for its end.
    void Scan(const std::string& type, CDictionary extra = {})
    {
        extra["scan_type"] = type;
        const CMsgResults started = Run("korva.scanner.start", extra);
        ASSERT_TRUE(started.Succeeded()) << started.GetErrorText();
        ASSERT_TRUE(WaitForEnd());
    }

    // Rows of a query's first row set, each as a dictionary.
    static std::vector<CDictionary> Rows(const std::string& name, const CDictionary& values = {})
    {
        const CMsgResults results = Run(name, values);
        EXPECT_TRUE(results.Succeeded()) << name << ": " << results.GetErrorText();
        std::vector<CDictionary> rows;
        if (results.GetRowSets().empty())
            return rows;
        const CMsgRowSet& set = results.GetRowSets().front();
        for (std::size_t r = 0; r < set.GetRowCount(); ++r) {
            CDictionary row;
            set.GetRowData(r, row);
            rows.push_back(row);
        }
        return rows;
    }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::string m_area;
    std::string m_hosts;
    NotificationLog m_log;
    CKorvaClient m_client;
};
