// A named request to the service, or a notification from it.
//
// The request's named values are its parameters; row sets travel beside them
// (SetExParams). Execute sends the request and waits for the answer, up to a
// time-out; Notify sends it and returns at once. Both go to the service that
// owns the bus name of the dispatcher's target ("root" unless SetTarget names
// another).
#pragma once

#include <string>
#include <string_view>

#include "servicelink/korva_constants.h"
#include "servicelink/msg_results.h"
#include "servicelink/msg_row_set.h"
#include "servicelink/value_accessor.h"

class CKorvaClient;

class CMsgRequest : public CDictionary {
public:
    // CLIENT is accepted for the familiar `CMsgRequest request(0)`; every
    // client of a process shares one bus connection, so it is not needed.
    explicit CMsgRequest(CKorvaClient* client = nullptr);

    void SetExParams(CMsgRowSets rowSets) { m_rowSets = std::move(rowSets); }
    void SetExParams(CMsgRowSet rowSet) { m_rowSets.assign(1, std::move(rowSet)); }
    void AddExParams(CMsgRowSet rowSet) { m_rowSets.push_back(std::move(rowSet)); }
    const CMsgRowSets& GetExParams() const { return m_rowSets; }
    CMsgRowSets& GetExParams() { return m_rowSets; }

    // The target whose service receives the request; "root" by default.
    void SetTarget(std::string target) { m_target = std::move(target); }
    const std::string& GetTarget() const { return m_target; }

    // Sends NAME with these values and row sets and waits up to TIMEOUT_MS.
    CMsgResults Execute(std::string_view name,
                        unsigned timeoutMs = NKorvaConstants::DEFAULT_REQUEST_TIMEOUT_MS) const;
    // Sends NAME without waiting; false when it could not be sent.
    bool Notify(std::string_view name) const;

    // For a notification: its name. For a request being built: empty.
    const std::string& GetRequestName() const { return m_name; }
    void SetRequestName(std::string name) { m_name = std::move(name); }
    // Set by the provider that handled a notification.
    void SetServed(bool served = true) { m_served = served; }
    bool IsServed() const { return m_served; }

private:
    CMsgRowSets m_rowSets;
    std::string m_target = "root";
    std::string m_name;
    bool m_served = false;
};
