#include "servicelink/korva_utilities.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>

#include "bus_link.h"
#include "servicelink/korva_constants.h"
#include "servicelink/msg_request.h"

using namespace NKorvaConstants;

bool CKorvaUtilities::WaitForActiveServer(unsigned /*flags*/, unsigned waitMs, const char* name)
{
    const QString busName = QString::fromUtf8(name != nullptr ? name : SERVICE_BUS_NAME);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        // Reconnects when the session bus itself only now came up.
        QDBusConnection connection = bus::BusLink::Instance().Connection();
        if (connection.isConnected() && connection.interface() != nullptr) {
            const QDBusReply<bool> owned = connection.interface()->isServiceRegistered(busName);
            if (owned.isValid() && owned.value())
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string CKorvaUtilities::GetUIResourceDllPath()
{
    const char* configured = std::getenv("KELM_UI_RESOURCES");
    if (configured != nullptr && *configured != '\0')
        return configured;
    QString base = QCoreApplication::instance() != nullptr ? QCoreApplication::applicationDirPath() : QString();
    if (base.isEmpty())
        base = QStringLiteral(".");
    return QDir::cleanPath(base + QStringLiteral("/../share/kelm/ui")).toStdString();
}

bool CKorvaUtilities::IsUpdaterActive()
{
    CMsgRequest request(0);
    const CMsgResults results = request.Execute("korva.updater.query_status", 5000);
    return results.Succeeded() && results.GetCursor()["updater_active"].ToBool();
}

std::string CKorvaUtilities::GetCurrentUserId() { return std::to_string(::getuid()); }
