// Requests and answers across a real private bus: values and row sets arrive
// as sent, and every kind of bad input gets an error answer, never a crash.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <chrono>
#include <thread>

#include "bus/wire.h"
#include "bus_testing.h"
#include "server_thread.h"
#include "servicelink/korva_constants.h"
#include "servicelink/korva_utilities.h"
#include "servicelink/msg_request.h"

using namespace NKorvaConstants;

namespace {

// A row set built freely, to put shapes on the wire that CMsgRowSet never
// produces.
struct RawRowSet {
    QString name;
    QStringList columns;
    QList<QStringList> rows;
};

}  // namespace

Q_DECLARE_METATYPE(RawRowSet)

namespace {

QDBusArgument& operator<<(QDBusArgument& arg, const RawRowSet& set)
{
    arg.beginStructure();
    arg << set.name << set.columns;
    arg.beginArray(QMetaType::fromType<QStringList>());
    for (const QStringList& row : set.rows)
        arg << row;
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, RawRowSet& set)
{
    arg.beginStructure();
    arg >> set.name >> set.columns >> set.rows;
    arg.endStructure();
    return arg;
}

class Wire : public ::testing::Test {
protected:
    static bus::Limits SmallLimits()
    {
        bus::Limits limits;
        limits.maxBytes = 4096;
        limits.maxRowSets = 4;
        limits.maxValues = 50;
        return limits;
    }

    void SetUp() override
    {
        bus_testing::EnsureApplication();
        std::string error;
        ASSERT_TRUE(m_bus.Start(&error)) << error;
        qDBusRegisterMetaType<RawRowSet>();
        qDBusRegisterMetaType<QList<RawRowSet>>();
        m_server = std::make_unique<ServerThread>(
            [](bus::BusServer& server) {
                // Echoes the request: its values as the first row set, then
                // its own row sets.
                server.AddHandler("korva.test.echo", [](const bus::ServiceCall& call) {
                    bus::ServiceAnswer answer = bus::ServiceAnswer::Row("values", call.request);
                    for (const CMsgRowSet& set : call.request.GetExParams())
                        answer.rowSets.push_back(set);
                    return answer;
                });
                server.AddHandler("korva.test.slow", [](const bus::ServiceCall&) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                    return bus::ServiceAnswer{};
                });
                server.AddHandler("korva.test.throws", [](const bus::ServiceCall&) -> bus::ServiceAnswer {
                    throw std::runtime_error("boom");
                });
            },
            SmallLimits());
        ASSERT_TRUE(m_server->Start());
        m_raw = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(m_bus.Address()), QStringLiteral("raw")));
        ASSERT_TRUE(m_raw->isConnected());
    }

    void TearDown() override
    {
        m_raw.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("raw"));
        m_server.reset();
    }

    // Sends a Request with ARGS as they are and decodes the answer.
    bus::DecodedAnswer Raw(const QList<QVariant>& args)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromLatin1(SERVICE_BUS_NAME), QString::fromLatin1(SERVICE_OBJECT_PATH),
            QString::fromLatin1(SERVICE_INTERFACE), QString::fromLatin1(bus::kRequestMethod));
        call.setArguments(args);
        const QDBusMessage reply = m_raw->call(call, QDBus::Block, 5000);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return bus::DecodeAnswer(reply);
    }

    static QVariant Values(const QList<QPair<QString, QString>>& entries)
    {
        QDBusArgument arg;
        arg.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
        for (const auto& [k, v] : entries) {
            arg.beginMapEntry();
            arg << k << v;
            arg.endMapEntry();
        }
        arg.endMap();
        return QVariant::fromValue(arg);
    }

    static QVariant RowSets(const QList<RawRowSet>& sets)
    {
        QDBusArgument arg;
        arg << sets;
        return QVariant::fromValue(arg);
    }

    bus_testing::PrivateBus m_bus;
    std::unique_ptr<ServerThread> m_server;
    std::unique_ptr<QDBusConnection> m_raw;
};

TEST_F(Wire, ValuesAndRowSetsRoundTripInOrder)
{
    CMsgRequest request(0);
    request["zz.last.first"] = "z";
    request["ctx.id"] = 42;
    request["unicode"] = "Grüße, 東京";
    request["empty"] = "";
    CMsgRowSet set("popups");
    for (int i = 0; i < 3; ++i) {
        CDictionary row;
        row["id"] = i;
        row["url"] = "site" + std::to_string(i) + ".example/path";
        set.AddRow(row);
    }
    CMsgRowSet emptySet("nothing");
    emptySet.AddColumn("col");
    request.SetExParams({set, emptySet});

    const CMsgResults results = request.Execute("korva.test.echo", 5000);
    ASSERT_TRUE(results.Succeeded()) << results.GetErrorText();
    ASSERT_EQ(results.GetRowSets().size(), 3u);
    CDictionary echoed;
    ASSERT_TRUE(results.GetCursor().GetRowData(echoed));
    EXPECT_EQ(echoed, static_cast<const CDictionary&>(request));
    EXPECT_EQ(results.GetRowSets()[1], set);
    EXPECT_EQ(results.GetRowSets()[2], emptySet);
}

TEST_F(Wire, UnknownRequestAndThrowingHandlerGetErrorAnswers)
{
    CMsgRequest request(0);
    const CMsgResults unknown = request.Execute("korva.nothing.here", 5000);
    EXPECT_EQ(unknown.GetErrorCode(), KORVA_E_UNKNOWN_REQUEST);
    EXPECT_NE(unknown.GetErrorText().find("korva.nothing.here"), std::string::npos);
    const CMsgResults thrown = request.Execute("korva.test.throws", 5000);
    EXPECT_EQ(thrown.GetErrorCode(), KORVA_E_FAIL);
    // The server still answers afterwards.
    EXPECT_TRUE(request.Execute("korva.test.echo", 5000).Succeeded());
}

struct BadCase {
    const char* what;
    std::function<QList<QVariant>()> args;
    int code;
};

TEST_F(Wire, MalformedAndOversizedRequestsGetErrorAnswers)
{
    const QString name = QStringLiteral("korva.test.echo");
    const std::vector<BadCase> cases = {
        {"name only", [&] { return QList<QVariant>{name}; }, KORVA_E_INVALID_ARGUMENTS},
        {"wrong types", [&] { return QList<QVariant>{5, name, name}; }, KORVA_E_INVALID_ARGUMENTS},
        {"empty name", [&] { return QList<QVariant>{QString(), Values({}), RowSets({})}; }, KORVA_E_INVALID_ARGUMENTS},
        {"too long name",
         [&] { return QList<QVariant>{QString(300, QLatin1Char('n')), Values({}), RowSets({})}; },
         KORVA_E_INVALID_ARGUMENTS},
        {"empty value name",
         [&] { return QList<QVariant>{name, Values({{QString(), QStringLiteral("v")}}), RowSets({})}; },
         KORVA_E_INVALID_ARGUMENTS},
        {"row shorter than columns",
         [&] {
             return QList<QVariant>{name, Values({}),
                                    RowSets({RawRowSet{QStringLiteral("s"), {QStringLiteral("a"), QStringLiteral("b")},
                                                       {{QStringLiteral("1")}}}})};
         },
         KORVA_E_INVALID_ARGUMENTS},
        {"duplicate column",
         [&] {
             return QList<QVariant>{name, Values({}),
                                    RowSets({RawRowSet{QStringLiteral("s"), {QStringLiteral("a"), QStringLiteral("a")}, {}}})};
         },
         KORVA_E_INVALID_ARGUMENTS},
        {"empty column name",
         [&] { return QList<QVariant>{name, Values({}), RowSets({RawRowSet{QStringLiteral("s"), {QString()}, {}}})}; },
         KORVA_E_INVALID_ARGUMENTS},
        {"value over the size limit",
         [&] {
             return QList<QVariant>{name, Values({{QStringLiteral("big"), QString(5000, QLatin1Char('x'))}}), RowSets({})};
         },
         KORVA_E_REQUEST_TOO_LARGE},
        {"too many values",
         [&] {
             QList<QPair<QString, QString>> many;
             for (int i = 0; i < 60; ++i)
                 many.append({QStringLiteral("v%1").arg(i), QStringLiteral("x")});
             return QList<QVariant>{name, Values(many), RowSets({})};
         },
         KORVA_E_REQUEST_TOO_LARGE},
        {"too many row sets",
         [&] {
             QList<RawRowSet> sets;
             for (int i = 0; i < 5; ++i)
                 sets.append(RawRowSet{QStringLiteral("s%1").arg(i), {QStringLiteral("c")}, {}});
             return QList<QVariant>{name, Values({}), RowSets(sets)};
         },
         KORVA_E_REQUEST_TOO_LARGE},
        {"cells over the size limit",
         [&] {
             RawRowSet set{QStringLiteral("s"), {QStringLiteral("c")}, {}};
             for (int i = 0; i < 100; ++i)
                 set.rows.append(QStringList{QString(100, QLatin1Char('y'))});
             return QList<QVariant>{name, Values({}), RowSets({set})};
         },
         KORVA_E_REQUEST_TOO_LARGE},
    };
    for (const BadCase& c : cases) {
        const bus::DecodedAnswer answer = Raw(c.args());
        ASSERT_TRUE(answer.ok) << c.what << ": " << answer.error;
        EXPECT_EQ(answer.code, c.code) << c.what << ": " << answer.text;
        EXPECT_FALSE(answer.text.empty()) << c.what;
    }
    // And the server is still there.
    EXPECT_TRUE(CMsgRequest(0).Execute("korva.test.echo", 5000).Succeeded());
}

TEST_F(Wire, BadSubscriptionsAndUnknownMethodsGetBusErrors)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(SERVICE_BUS_NAME),
                                                       QString::fromLatin1(SERVICE_OBJECT_PATH),
                                                       QString::fromLatin1(SERVICE_INTERFACE),
                                                       QString::fromLatin1(bus::kSubscribeMethod));
    call << 17;
    EXPECT_EQ(m_raw->call(call, QDBus::Block, 5000).type(), QDBusMessage::ErrorMessage);
    QDBusMessage other = QDBusMessage::createMethodCall(QString::fromLatin1(SERVICE_BUS_NAME),
                                                        QString::fromLatin1(SERVICE_OBJECT_PATH),
                                                        QString::fromLatin1(SERVICE_INTERFACE), QStringLiteral("Frob"));
    EXPECT_EQ(m_raw->call(other, QDBus::Block, 5000).type(), QDBusMessage::ErrorMessage);
}

TEST_F(Wire, SlowServiceGivesTimeOutNotHang)
{
    const auto start = std::chrono::steady_clock::now();
    const CMsgResults results = CMsgRequest(0).Execute("korva.test.slow", 300);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(results.GetErrorCode(), KORVA_E_TIMEOUT) << results.GetErrorText();
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 1400);
}

TEST_F(Wire, NoServiceFailsAtOnce)
{
    m_server->Stop();
    const auto start = std::chrono::steady_clock::now();
    const CMsgResults results = CMsgRequest(0).Execute("korva.test.echo", 5000);
    EXPECT_EQ(results.GetErrorCode(), KORVA_E_NO_SERVICE) << results.GetErrorText();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(CKorvaUtilities::WaitForActiveServer(0, 100, nullptr));
    EXPECT_FALSE(CMsgRequest(0).Notify(""));
}

}  // namespace
