// Registered window messages: one number per name across the session.

#include "test_support.h"

#include "win/state_root.h"
#include "win/ui/messaging.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

namespace win {
namespace {

using testing::PeerProcess;

class RegisteredMessagesTest : public testing::StateRootTest {
protected:
    std::filesystem::path TablePath() const { return root() / "runtime" / "window_messages"; }

    void WriteTable(const std::string& text) const
    {
        std::filesystem::create_directories(TablePath().parent_path());
        std::ofstream(TablePath(), std::ios::binary) << text;
    }

    // The numbers a separate process gets for NAMES, in order.
    static std::vector<UINT> NumbersInOtherProcess(const QStringList& names)
    {
        PeerProcess peer(QStringList{QStringLiteral("register")} + names);
        std::vector<UINT> numbers;
        for (qsizetype i = 0; i < names.size(); ++i) {
            std::optional<std::string> line = peer.ReadLine(10000);
            if (!line)
                break;
            numbers.push_back(static_cast<UINT>(std::stoul(*line)));
        }
        return numbers;
    }
};

TEST_F(RegisteredMessagesTest, SameNameGetsSameNumberInAnotherProcess)
{
    UINT scan = RegisterWindowMessage(QStringLiteral("QV_LAUNCH_SCAN"));
    UINT results = RegisterWindowMessage(QStringLiteral("QV_LAUNCH_TO_RESULTS"));
    ASSERT_GE(scan, kFirstRegisteredMessage);
    ASSERT_NE(scan, results);

    // The other process asks in another order and adds a name of its own.
    std::vector<UINT> other = NumbersInOtherProcess(
        {QStringLiteral("PND_UPDATE_HITCOUNT"), QStringLiteral("QV_LAUNCH_TO_RESULTS"),
         QStringLiteral("qv_launch_scan")});
    ASSERT_EQ(other.size(), 3u);
    EXPECT_EQ(other[1], results);
    EXPECT_EQ(other[2], scan);
    EXPECT_NE(other[0], scan);
    EXPECT_NE(other[0], results);
    // And this process now sees the other's name with the other's number.
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("PND_UPDATE_HITCOUNT")), other[0]);
}

TEST_F(RegisteredMessagesTest, ProcessesRegisteringAtOnceAgree)
{
    QStringList names;
    for (int i = 0; i < 40; ++i)
        names << QStringLiteral("CONCURRENT_%1").arg(i);

    // Four processes, each asking for the names in its own order.
    std::vector<std::unique_ptr<PeerProcess>> peers;
    std::vector<QStringList> orders;
    std::mt19937 random(7);
    for (int p = 0; p < 4; ++p) {
        QStringList order = names;
        std::shuffle(order.begin(), order.end(), random);
        orders.push_back(order);
        peers.push_back(std::make_unique<PeerProcess>(QStringList{QStringLiteral("register")} + order));
    }
    std::map<QString, UINT> agreed;
    for (size_t p = 0; p < peers.size(); ++p) {
        for (const QString& name : orders[p]) {
            std::optional<std::string> line = peers[p]->ReadLine(10000);
            ASSERT_TRUE(line) << "process " << p << " stopped early";
            auto number = static_cast<UINT>(std::stoul(*line));
            auto [it, inserted] = agreed.emplace(name, number);
            EXPECT_EQ(it->second, number) << name.toStdString() << " differs in process " << p;
        }
    }
    std::set<UINT> distinct;
    for (const auto& [name, number] : agreed) {
        EXPECT_GE(number, kFirstRegisteredMessage);
        EXPECT_LE(number, kLastRegisteredMessage);
        distinct.insert(number);
    }
    EXPECT_EQ(distinct.size(), names.size());
}

TEST_F(RegisteredMessagesTest, NamesCompareWithoutCase)
{
    UINT upper = RegisterWindowMessage(QStringLiteral("UM_SET_FOREGROUND_WINDOW"));
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("um_set_foreground_window")), upper);
    EXPECT_EQ(RegisterWindowMessageW(L"Um_Set_Foreground_Window"), upper);
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("ÄRGER")), RegisterWindowMessage(QStringLiteral("ärger")));
    EXPECT_NE(RegisterWindowMessage(QStringLiteral("UM_SET_FOREGROUND_WINDOW ")), upper);
}

TEST_F(RegisteredMessagesTest, InvalidNamesAreRefused)
{
    const QString cases[] = {
        QString(),
        QString(256, QLatin1Char('x')),
        QStringLiteral("two\nlines"),
        QStringLiteral("carriage\rreturn"),
        QStringLiteral("nul") + QChar(0) + QStringLiteral("inside"),
    };
    for (const QString& name : cases) {
        SetLastError(0);
        EXPECT_EQ(RegisterWindowMessage(name), 0u) << name.size();
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
    EXPECT_GE(RegisterWindowMessage(QString(255, QLatin1Char('x'))), kFirstRegisteredMessage);
}

TEST_F(RegisteredMessagesTest, DamagedTableLinesAreSkipped)
{
    WriteTable("C000 FIRST\n"
               "garbage without a number\n"
               "12 SHORT\n"
               "0400 OUT_OF_RANGE\n"
               "C0G1 NOT_HEX\n"
               "C005 FIFTH\n"
               "C001 first\n"      // a second spelling of a known name keeps the first number
               "C009 UNFINISHED");  // a writer died mid-line
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("first")), 0xC000u);
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("FIFTH")), 0xC005u);
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("OUT_OF_RANGE")), 0xC006u);
    // The unfinished line did not swallow the next entry.
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("UNFINISHED")), 0xC007u);
    EXPECT_EQ(NumbersInOtherProcess({QStringLiteral("UNFINISHED"), QStringLiteral("OUT_OF_RANGE")}),
              (std::vector<UINT>{0xC007u, 0xC006u}));
}

TEST_F(RegisteredMessagesTest, FullTableAnswersZero)
{
    WriteTable("FFFF LAST\n");
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("LAST")), 0xFFFFu);
    SetLastError(0);
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("ONE_TOO_MANY")), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST_F(RegisteredMessagesTest, MovedStateRootUsesItsOwnTable)
{
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("A_NAME")), 0xC000u);
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("B_NAME")), 0xC001u);

    std::string other = (std::filesystem::temp_directory_path() / "kelm-winui-XXXXXX").string();
    ASSERT_NE(::mkdtemp(other.data()), nullptr);
    ::setenv(kStateRootVariable, other.c_str(), 1);
    EXPECT_EQ(RegisterWindowMessage(QStringLiteral("B_NAME")), 0xC000u);
    std::error_code ec;
    std::filesystem::remove_all(other, ec);
}

}  // namespace
}  // namespace win
