// The service side of the bus: owns the service's bus name, answers the
// Request method from a table of handlers, keeps the subscriptions and sends
// notifications to the subscribers.
//
// Every incoming message is checked (signature, shape, limits) before any
// handler sees it; an unknown request, malformed arguments or an oversized
// message get an error answer and never reach a handler. A handler that
// throws gets KORVA_E_FAIL answered for it. Handlers run on the thread the
// server lives on, one at a time.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "bus/wire.h"
#include "servicelink/msg_request.h"
#include "servicelink/msg_row_set.h"

namespace bus {

struct ServiceCall {
    const CMsgRequest& request;  // named values and row sets
    std::string name;            // the request name
    std::string sender;          // the caller's unique bus name
    std::uint32_t senderUid;     // the caller's user id, or UINT32_MAX when unknown
};

struct ServiceAnswer {
    int errorCode = 0;
    std::string errorText;
    CMsgRowSets rowSets;

    static ServiceAnswer Error(int code, std::string text) { return ServiceAnswer{code, std::move(text), {}}; }
    // A successful answer with one row set holding ROW.
    static ServiceAnswer Row(const std::string& setName, const CDictionary& row);
};

using RequestHandler = std::function<ServiceAnswer(const ServiceCall& call)>;

class BusServer : public QObject {
    Q_OBJECT
public:
    explicit BusServer(QDBusConnection connection, Limits limits = Limits(), QObject* parent = nullptr);
    ~BusServer() override;

    // Registers the object and takes BUS_NAME; false (with ERROR) when the
    // name is owned by another process or the bus refuses.
    bool Start(const QString& busName, std::string* error);

    // Adds the handler for request NAME; false when NAME already has one.
    bool AddHandler(std::string name, RequestHandler handler);
    bool HasHandler(std::string_view name) const;

    // Sends notification NAME to every subscriber; returns how many got it.
    int SendNotification(std::string_view name, const CDictionary& values, const CMsgRowSets& rowSets = {});
    std::size_t SubscriberCount(std::string_view name) const;

    // Called by the bus object for each message addressed to the service.
    bool HandleMessage(const QDBusMessage& message, const QDBusConnection& connection);

private slots:
    void OnNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    void AnswerRequest(const QDBusMessage& message);
    void ChangeSubscriptions(const QDBusMessage& message, bool subscribe);
    std::uint32_t SenderUid(const QString& sender);

    class BusObject;
    QDBusConnection m_connection;
    Limits m_limits;
    std::unique_ptr<BusObject> m_object;
    QString m_busName;
    std::map<std::string, RequestHandler, std::less<>> m_handlers;
    std::map<std::string, std::set<QString>, std::less<>> m_subscribers;
    std::map<QString, std::uint32_t> m_uidCache;
};

}  // namespace bus
