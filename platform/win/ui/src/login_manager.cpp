#include "login_manager.h"

#include "win/types.h"

#include <QAtomicInteger>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QString>
#include <QVariant>

#include <cstdlib>
#include <optional>
#include <unistd.h>

namespace win::detail {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");

// Look-ups answer at once; a request may wait for the user to authorise it.
constexpr int kQueryTimeoutMs = 5000;
constexpr int kRequestTimeoutMs = 120000;

QString SystemBusAddress()
{
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address != nullptr && *address != '\0')
        return QString::fromLocal8Bit(address);
    return QStringLiteral("unix:path=/run/dbus/system_bus_socket");
}

// A private connection for one request, closed when it goes out of scope,
// so a test (or a changed environment) gets the bus it names now.
class PrivateSystemBus {
public:
    PrivateSystemBus()
        : m_name(QStringLiteral("kelm-login-manager-%1").arg(s_counter.fetchAndAddRelaxed(1)))
        , m_connection(QDBusConnection::connectToBus(SystemBusAddress(), m_name))
    {
    }
    ~PrivateSystemBus() { QDBusConnection::disconnectFromBus(m_name); }
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    bool IsConnected() const { return m_connection.isConnected(); }

    QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments, int timeoutMs)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
        message.setArguments(arguments);
        message.setInteractiveAuthorizationAllowed(true);
        return m_connection.call(message, QDBus::Block, timeoutMs);
    }

private:
    static inline QAtomicInteger<int> s_counter{0};
    QString m_name;
    QDBusConnection m_connection;
};

bool Failed(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage && reply.type() != QDBusMessage::InvalidMessage)
        return false;
    const QString name = reply.errorName();
    const bool refused = name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied") ||
                         name == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired") ||
                         name.startsWith(QLatin1String("org.freedesktop.PolicyKit1."));
    SetLastError(refused ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE);
    return true;
}

// This process's session id: the session logind finds for our process id,
// else the one our environment names.
std::optional<QString> OwnSessionId(PrivateSystemBus& bus)
{
    const QDBusMessage byPid = bus.Call(kManagerPath, kManagerInterface, QStringLiteral("GetSessionByPID"),
                                        {QVariant::fromValue(static_cast<uint>(::getpid()))}, kQueryTimeoutMs);
    if (byPid.type() == QDBusMessage::ReplyMessage && byPid.arguments().size() == 1) {
        const QString path = byPid.arguments().at(0).value<QDBusObjectPath>().path();
        if (!path.isEmpty()) {
            const QDBusMessage id =
                bus.Call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                         {kSessionInterface, QStringLiteral("Id")}, kQueryTimeoutMs);
            if (id.type() == QDBusMessage::ReplyMessage && id.arguments().size() == 1) {
                const QString text = id.arguments().at(0).value<QDBusVariant>().variant().toString();
                if (!text.isEmpty())
                    return text;
            }
        }
    }
    const char* fromEnvironment = std::getenv("XDG_SESSION_ID");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0')
        return QString::fromLocal8Bit(fromEnvironment);
    return std::nullopt;
}

}  // namespace

bool AskLoginManager(LoginManagerRequest request)
{
    PrivateSystemBus bus;
    if (!bus.IsConnected()) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    QDBusMessage reply;
    switch (request) {
    case LoginManagerRequest::Reboot:
        reply = bus.Call(kManagerPath, kManagerInterface, QStringLiteral("Reboot"), {true}, kRequestTimeoutMs);
        break;
    case LoginManagerRequest::PowerOff:
        reply = bus.Call(kManagerPath, kManagerInterface, QStringLiteral("PowerOff"), {true}, kRequestTimeoutMs);
        break;
    case LoginManagerRequest::EndSession: {
        const std::optional<QString> session = OwnSessionId(bus);
        if (!session) {
            SetLastError(ERROR_GEN_FAILURE);
            return false;
        }
        reply = bus.Call(kManagerPath, kManagerInterface, QStringLiteral("TerminateSession"), {*session},
                         kRequestTimeoutMs);
        break;
    }
    }
    return !Failed(reply);
}

}  // namespace win::detail
