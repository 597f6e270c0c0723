// The fixture of the engine tests: a fresh state root whose registry lists
// the test add-on's two classes as browser helper objects, a browser host,
// a local HTTP server, and access to what the add-on recorded.
#pragma once

#include "test_addon_protocol.h"
#include "test_support.h"

#include "browser_host.h"
#include "web_browser_object.h"

#include <gtest/gtest.h>

#include <memory>

namespace browser_test {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a window on PATH of the server and waits for its top document.
    kb::engine::CWebBrowser* Open(const QString& path);
    // Navigates BROWSER and waits for its top DocumentComplete.
    void NavigateAndWait(kb::engine::CWebBrowser* browser, const QString& url);

    // Add-on A's records (B records the same events).
    std::vector<Record> Records(void* site, const QString& kind = QStringLiteral("Event")) const;
    std::vector<Record> Events(kb::engine::CWebBrowser* browser) const { return Records(Site(browser)); }
    std::vector<win::DISPID> Dispids(kb::engine::CWebBrowser* browser) const;
    int CountTopEvents(kb::engine::CWebBrowser* browser, win::DISPID dispid) const;
    bool WaitForTopEvent(kb::engine::CWebBrowser* browser, win::DISPID dispid, int count = 1, int timeoutMs = 15000);
    // The index in the whole log of the first record matching.
    int IndexOf(const QString& kind, void* site, win::DISPID dispid = 0) const;

    static void* Site(kb::engine::CWebBrowser* browser)
    {
        return static_cast<win::IWebBrowser2*>(browser);
    }
    // Runs script in BROWSER's top document and answers its value as text.
    QString Script(kb::engine::CWebBrowser* browser, const QString& code);

    std::unique_ptr<ScopedStateRoot> m_root;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<kb::engine::CBrowserHost> m_host;
    std::vector<Record>* m_log = nullptr;
    Behaviour* m_behaviour = nullptr;
};

}  // namespace browser_test
