#include "servicelink/msg_request.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <chrono>
#include <climits>

#include "bus/wire.h"
#include "bus_link.h"
#include "servicelink/msg_dispatcher.h"

using namespace NKorvaConstants;

namespace {

QDBusMessage BuildCall(const CMsgRequest& request, std::string_view name)
{
    const std::string busName = CMsgDispatcher::Instance().TargetBusName(request.GetTarget());
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromStdString(busName),
                                                       QString::fromLatin1(SERVICE_OBJECT_PATH),
                                                       QString::fromLatin1(SERVICE_INTERFACE),
                                                       QString::fromLatin1(bus::kRequestMethod));
    call.setArguments(bus::EncodeMessage(std::string(name), request, request.GetExParams()));
    return call;
}

// Turns a D-Bus error into a failed result. No-reply means either that the
// time-out ran out or that the service left the bus before answering; the
// elapsed time tells which.
CMsgResults FromBusError(const QDBusMessage& reply, std::chrono::milliseconds elapsed, unsigned timeoutMs)
{
    const QString errorName = reply.errorName();
    const std::string text = reply.errorMessage().toStdString();
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return CMsgResults(KORVA_E_NO_SERVICE, "the service is not running: " + text);
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        errorName == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
        errorName == QLatin1String("org.freedesktop.DBus.Error.TimedOut")) {
        if (elapsed.count() + 50 >= static_cast<long long>(timeoutMs))
            return CMsgResults(KORVA_E_TIMEOUT, "no answer within " + std::to_string(timeoutMs) + " ms");
        return CMsgResults(KORVA_E_SERVICE_GONE, "the service left before answering: " + text);
    }
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.Disconnected"))
        return CMsgResults(KORVA_E_NOT_CONNECTED, "not connected to the session bus: " + text);
    return CMsgResults(KORVA_E_BUS_ERROR, errorName.toStdString() + ": " + text);
}

}  // namespace

CMsgRequest::CMsgRequest(CKorvaClient* /*client*/) {}

CMsgResults CMsgRequest::Execute(std::string_view name, unsigned timeoutMs) const
{
    if (name.empty())
        return CMsgResults(KORVA_E_INVALID_ARGUMENTS, "a request needs a name");
    if (timeoutMs == 0)
        timeoutMs = DEFAULT_REQUEST_TIMEOUT_MS;
    if (timeoutMs > static_cast<unsigned>(INT_MAX))
        timeoutMs = static_cast<unsigned>(INT_MAX);
    QDBusConnection connection = bus::BusLink::Instance().Connection();
    if (!connection.isConnected())
        return CMsgResults(KORVA_E_NOT_CONNECTED, "no session bus: " + connection.lastError().message().toStdString());

    const auto start = std::chrono::steady_clock::now();
    const QDBusMessage reply = connection.call(BuildCall(*this, name), QDBus::Block, static_cast<int>(timeoutMs));
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return FromBusError(reply, elapsed, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return CMsgResults(KORVA_E_BUS_ERROR, "no answer from the bus");
    bus::DecodedAnswer answer = bus::DecodeAnswer(reply);
    if (!answer.ok)
        return CMsgResults(KORVA_E_BAD_ANSWER, "malformed answer: " + answer.error);
    return CMsgResults(answer.code, std::move(answer.text), std::move(answer.rowSets));
}

bool CMsgRequest::Notify(std::string_view name) const
{
    if (name.empty())
        return false;
    QDBusConnection connection = bus::BusLink::Instance().Connection();
    if (!connection.isConnected())
        return false;
    return connection.send(BuildCall(*this, name));
}
