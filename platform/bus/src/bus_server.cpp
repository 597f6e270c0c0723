#include "bus/bus_server.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusVirtualObject>
#include <exception>

#include "servicelink/korva_constants.h"

using namespace NKorvaConstants;

namespace bus {

namespace {

const char* const kIntrospection = R"xml(  <interface name="org.kelm.Korva1">
    <method name="Request">
      <arg name="name" type="s" direction="in"/>
      <arg name="values" type="a{ss}" direction="in"/>
      <arg name="rowsets" type="a(sasaas)" direction="in"/>
      <arg name="code" type="i" direction="out"/>
      <arg name="text" type="s" direction="out"/>
      <arg name="rowsets" type="a(sasaas)" direction="out"/>
    </method>
    <method name="Subscribe">
      <arg name="names" type="as" direction="in"/>
    </method>
    <method name="Unsubscribe">
      <arg name="names" type="as" direction="in"/>
    </method>
    <signal name="Notification">
      <arg name="name" type="s"/>
      <arg name="values" type="a{ss}"/>
      <arg name="rowsets" type="a(sasaas)"/>
    </signal>
  </interface>
)xml";

}  // namespace

ServiceAnswer ServiceAnswer::Row(const std::string& setName, const CDictionary& row)
{
    ServiceAnswer answer;
    CMsgRowSet set(setName);
    set.AddRow(row);
    answer.rowSets.push_back(std::move(set));
    return answer;
}

class BusServer::BusObject : public QDBusVirtualObject {
public:
    explicit BusObject(BusServer* server) : m_server(server) {}
    QString introspect(const QString& /*path*/) const override { return QString::fromLatin1(kIntrospection); }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        return m_server->HandleMessage(message, connection);
    }

private:
    BusServer* m_server;
};

BusServer::BusServer(QDBusConnection connection, Limits limits, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)), m_limits(limits), m_object(std::make_unique<BusObject>(this))
{
    RegisterTypes();
}

BusServer::~BusServer()
{
    if (!m_busName.isEmpty()) {
        m_connection.unregisterObject(QString::fromLatin1(SERVICE_OBJECT_PATH));
        m_connection.unregisterService(m_busName);
    }
}

bool BusServer::Start(const QString& busName, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    if (!m_connection.isConnected())
        return fail("not connected to the bus: " + m_connection.lastError().message().toStdString());
    if (!m_connection.registerVirtualObject(QString::fromLatin1(SERVICE_OBJECT_PATH), m_object.get()))
        return fail("cannot register the service object");
    // Subscribers that leave the bus are dropped.
    m_connection.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                         QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                         SLOT(OnNameOwnerChanged(QString, QString, QString)));
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_connection.interface()->registerService(busName, QDBusConnectionInterface::DontQueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        m_connection.unregisterObject(QString::fromLatin1(SERVICE_OBJECT_PATH));
        return fail("the bus name " + busName.toStdString() + " is taken or refused");
    }
    m_busName = busName;
    return true;
}

bool BusServer::AddHandler(std::string name, RequestHandler handler)
{
    if (name.empty() || !handler || m_handlers.count(name) != 0)
        return false;
    m_handlers.emplace(std::move(name), std::move(handler));
    return true;
}

bool BusServer::HasHandler(std::string_view name) const { return m_handlers.find(name) != m_handlers.end(); }

bool BusServer::HandleMessage(const QDBusMessage& message, const QDBusConnection& /*connection*/)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    if (!message.interface().isEmpty() && message.interface() != QLatin1String(SERVICE_INTERFACE))
        return false;  // Qt answers the standard interfaces and the unknown ones
    const QString member = message.member();
    if (member == QLatin1String(kRequestMethod)) {
        AnswerRequest(message);
        return true;
    }
    if (member == QLatin1String(kSubscribeMethod) || member == QLatin1String(kUnsubscribeMethod)) {
        ChangeSubscriptions(message, member == QLatin1String(kSubscribeMethod));
        return true;
    }
    return false;
}

std::uint32_t BusServer::SenderUid(const QString& sender)
{
    const auto it = m_uidCache.find(sender);
    if (it != m_uidCache.end())
        return it->second;
    const QDBusReply<uint> uid = m_connection.interface()->serviceUid(sender);
    const std::uint32_t value = uid.isValid() ? uid.value() : UINT32_MAX;
    m_uidCache[sender] = value;
    return value;
}

void BusServer::AnswerRequest(const QDBusMessage& message)
{
    Decoded decoded = DecodeMessage(message, m_limits);
    ServiceAnswer answer;
    if (decoded.status == DecodeStatus::TooLarge) {
        answer = ServiceAnswer::Error(KORVA_E_REQUEST_TOO_LARGE, "request too large: " + decoded.error);
    } else if (decoded.status == DecodeStatus::Malformed) {
        answer = ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "malformed request: " + decoded.error);
    } else {
        const auto it = m_handlers.find(decoded.name);
        if (it == m_handlers.end()) {
            answer = ServiceAnswer::Error(KORVA_E_UNKNOWN_REQUEST, "unknown request \"" + decoded.name + "\"");
        } else {
            CMsgRequest request;
            static_cast<CDictionary&>(request) = std::move(decoded.values);
            request.SetExParams(std::move(decoded.rowSets));
            request.SetRequestName(decoded.name);
            const ServiceCall call{request, decoded.name, message.service().toStdString(), SenderUid(message.service())};
            try {
                answer = it->second(call);
            } catch (const std::exception& e) {
                qWarning("korva: request %s failed: %s", decoded.name.c_str(), e.what());
                answer = ServiceAnswer::Error(KORVA_E_FAIL, std::string("internal error: ") + e.what());
            } catch (...) {
                answer = ServiceAnswer::Error(KORVA_E_FAIL, "internal error");
            }
        }
    }
    if (!message.isReplyRequired())
        return;
    QDBusMessage reply = message.createReply();
    reply.setArguments(EncodeAnswer(answer.errorCode, answer.errorText, answer.rowSets));
    m_connection.send(reply);
}

void BusServer::ChangeSubscriptions(const QDBusMessage& message, bool subscribe)
{
    QStringList names;
    if (!DecodeNames(message, names, m_limits)) {
        m_connection.send(message.createErrorReply(QStringLiteral("org.kelm.Korva1.Error.InvalidArguments"),
                                                   QStringLiteral("expected a list of notification names (as)")));
        return;
    }
    const QString sender = message.service();
    for (const QString& name : names) {
        const std::string key = name.toStdString();
        if (subscribe) {
            m_subscribers[key].insert(sender);
        } else {
            const auto it = m_subscribers.find(key);
            if (it != m_subscribers.end()) {
                it->second.erase(sender);
                if (it->second.empty())
                    m_subscribers.erase(it);
            }
        }
    }
    m_connection.send(message.createReply());
}

void BusServer::OnNameOwnerChanged(const QString& name, const QString& /*oldOwner*/, const QString& newOwner)
{
    if (!newOwner.isEmpty() || !name.startsWith(QLatin1Char(':')))
        return;
    m_uidCache.erase(name);
    for (auto it = m_subscribers.begin(); it != m_subscribers.end();) {
        it->second.erase(name);
        it = it->second.empty() ? m_subscribers.erase(it) : std::next(it);
    }
}

int BusServer::SendNotification(std::string_view name, const CDictionary& values, const CMsgRowSets& rowSets)
{
    const auto it = m_subscribers.find(name);
    if (it == m_subscribers.end())
        return 0;
    const QList<QVariant> args = EncodeMessage(std::string(name), values, rowSets);
    int sent = 0;
    for (const QString& subscriber : it->second) {
        QDBusMessage signal = QDBusMessage::createTargetedSignal(
            subscriber, QString::fromLatin1(SERVICE_OBJECT_PATH), QString::fromLatin1(SERVICE_INTERFACE),
            QString::fromLatin1(kNotificationSignal));
        signal.setArguments(args);
        if (m_connection.send(signal))
            ++sent;
    }
    return sent;
}

std::size_t BusServer::SubscriberCount(std::string_view name) const
{
    const auto it = m_subscribers.find(name);
    return it == m_subscribers.end() ? 0 : it->second.size();
}

}  // namespace bus
