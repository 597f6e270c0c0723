#include "servicelink/msg_results.h"

CMsgResults::CMsgResults(int errorCode, std::string errorText, CMsgRowSets rowSets)
    : m_errorCode(errorCode),
      m_errorText(std::move(errorText)),
      m_rowSets(std::make_shared<const CMsgRowSets>(std::move(rowSets)))
{
}
