// PrepareWebEngineEnvironment: what it chooses, and that it keeps what the
// caller chose. This program has no application object, as a main before
// its QApplication has none.
#include "servicelink/html/web_engine_environment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

class WebEngineEnvironmentTest : public ::testing::Test {
protected:
    static constexpr const char* kVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_QUICK_BACKEND",
                                                 "QTWEBENGINE_DISABLE_SANDBOX"};
    void SetUp() override
    {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }
    static std::optional<std::string> Get(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

TEST_F(WebEngineEnvironmentTest, WithoutDisplayRendersOffscreen)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_TRUE(PrepareWebEngineEnvironment());
    EXPECT_EQ(Get("QT_QPA_PLATFORM"), "offscreen");
    EXPECT_EQ(Get("QT_QUICK_BACKEND"), "software");
    if (::geteuid() == 0)
        EXPECT_EQ(Get("QTWEBENGINE_DISABLE_SANDBOX"), "1");
    else
        EXPECT_EQ(Get("QTWEBENGINE_DISABLE_SANDBOX"), std::nullopt);
    EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
}

TEST_F(WebEngineEnvironmentTest, KeepsTheDisplayAndTheCallersChoices)
{
    ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    EXPECT_TRUE(PrepareWebEngineEnvironment());
    EXPECT_EQ(Get("QT_QPA_PLATFORM"), std::nullopt) << "a display is used as it is";
    EXPECT_EQ(Get("QT_QUICK_BACKEND"), std::nullopt);

    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "minimal", 1);
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "0", 1);
    EXPECT_TRUE(PrepareWebEngineEnvironment());
    EXPECT_EQ(Get("QT_QPA_PLATFORM"), "minimal");
    EXPECT_EQ(Get("QTWEBENGINE_DISABLE_SANDBOX"), "0");
    EXPECT_EQ(Get("QT_QUICK_BACKEND"), "software");
}

}  // namespace
