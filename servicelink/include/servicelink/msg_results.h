// The answer to a request: an error code (0 = success), an error text and the
// row sets the service returned. A request that got no usable answer (no
// service, time-out, service gone, malformed answer) is a failed result with
// one of the client-side codes of NKorvaConstants.
#pragma once

#include <memory>
#include <string>

#include "servicelink/msg_cursor.h"
#include "servicelink/msg_row_set.h"

class CMsgResults {
public:
    CMsgResults() = default;
    CMsgResults(int errorCode, std::string errorText, CMsgRowSets rowSets = {});

    bool Failed() const { return m_errorCode != 0; }
    bool Succeeded() const { return m_errorCode == 0; }
    int GetErrorCode() const { return m_errorCode; }
    const std::string& GetErrorText() const { return m_errorText; }

    const CMsgRowSets& GetRowSets() const { return *m_rowSets; }
    // A cursor on the first row of the first row set.
    CMsgCursor GetCursor() const { return CMsgCursor(m_rowSets); }

private:
    int m_errorCode = 0;
    std::string m_errorText;
    std::shared_ptr<const CMsgRowSets> m_rowSets = std::make_shared<const CMsgRowSets>();
};
