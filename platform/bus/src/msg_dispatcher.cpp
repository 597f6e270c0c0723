#include "servicelink/msg_dispatcher.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

#include "bus/wire.h"
#include "bus_link.h"
#include "servicelink/korva_constants.h"
#include "servicelink/msg_provider.h"
#include "servicelink/msg_request.h"

namespace {

constexpr unsigned kProviderActive = 1;

std::string ResolveBusName(std::string_view address)
{
    constexpr std::string_view dbusPrefix = "dbus:";
    if (address.substr(0, dbusPrefix.size()) == dbusPrefix && address.size() > dbusPrefix.size())
        return std::string(address.substr(dbusPrefix.size()));
    return NKorvaConstants::SERVICE_BUS_NAME;
}

}  // namespace

struct CMsgDispatcher::State {
    struct ProviderEntry {
        std::string target;
        CMsgProvider* provider;
        unsigned flags;
    };
    struct Binding {
        std::string name;
        QPointer<QObject> window;
        QObject* key;
        WindowHandler handler;
    };

    mutable std::mutex mutex;
    std::condition_variable idle;
    std::map<std::string, CMsgTarget, std::less<>> targets;
    std::vector<ProviderEntry> providers;
    std::vector<Binding> bindings;
    std::set<QObject*> watchedWindows;
    std::map<std::string, int, std::less<>> subscriptions;
    bool enabled = true;
    int delivering = 0;

    std::string RootBusName() const { return targets.at("root").busName; }
};

CMsgDispatcher& CMsgDispatcher::Instance()
{
    // Never destroyed, like the bus link it routes for.
    static CMsgDispatcher* dispatcher = new CMsgDispatcher();
    return *dispatcher;
}

CMsgDispatcher::CMsgDispatcher() : m_state(std::make_unique<State>())
{
    m_state->targets["root"] = CMsgTarget{"root", "session", NKorvaConstants::SERVICE_BUS_NAME};
}

CMsgDispatcher::~CMsgDispatcher() = default;

bool CMsgDispatcher::RegisterTarget(std::string_view name, std::string_view address)
{
    if (name.empty() || name == "root")
        return false;
    std::lock_guard lock(m_state->mutex);
    m_state->targets[std::string(name)] = CMsgTarget{std::string(name), std::string(address), ResolveBusName(address)};
    return true;
}

const CMsgTarget* CMsgDispatcher::LookupTarget(std::string_view name) const
{
    std::lock_guard lock(m_state->mutex);
    auto it = m_state->targets.find(name);
    if (it == m_state->targets.end())
        it = m_state->targets.find("root");
    return &it->second;
}

std::string CMsgDispatcher::TargetBusName(std::string_view name) const
{
    std::lock_guard lock(m_state->mutex);
    auto it = m_state->targets.find(name);
    if (it == m_state->targets.end())
        it = m_state->targets.find("root");
    return it->second.busName;
}

bool CMsgDispatcher::DeleteTarget(std::string_view name)
{
    std::unique_lock lock(m_state->mutex);
    auto& providers = m_state->providers;
    const auto before = providers.size();
    providers.erase(std::remove_if(providers.begin(), providers.end(),
                                   [&](const State::ProviderEntry& e) { return e.target == name; }),
                    providers.end());
    bool found = providers.size() != before;
    if (name != "root") {
        const auto it = m_state->targets.find(name);
        if (it != m_state->targets.end()) {
            m_state->targets.erase(it);
            found = true;
        }
    }
    // A provider may be freed as soon as this returns, so a delivery that may
    // still be calling it must end first (unless this is that delivery).
    if (!bus::BusLink::Instance().OnBusThread())
        m_state->idle.wait(lock, [this] { return m_state->delivering == 0; });
    return found;
}

bool CMsgDispatcher::RegisterProvider(std::string_view target, CMsgProvider* provider, unsigned flags)
{
    if (provider == nullptr || target.empty())
        return false;
    provider->BuildMap();
    std::string busName;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->targets.find(target) == m_state->targets.end())
            m_state->targets[std::string(target)] =
                CMsgTarget{std::string(target), m_state->targets.at("root").address, m_state->RootBusName()};
        for (const auto& entry : m_state->providers)
            if (entry.provider == provider && entry.target == target)
                return false;
        m_state->providers.push_back(State::ProviderEntry{std::string(target), provider, flags});
        busName = m_state->RootBusName();
    }
    // Notifications need the bus thread; a missing bus is not an error here,
    // the provider simply receives nothing until one is there.
    bus::BusLink::Instance().EnsureThread(QString::fromStdString(busName));
    return true;
}

bool CMsgDispatcher::BindWindow(std::string_view name, QObject* window, WindowHandler handler)
{
    if (window == nullptr || name.empty() || !handler)
        return false;
    if (!Subscribe(name))
        return false;
    std::lock_guard lock(m_state->mutex);
    m_state->bindings.push_back(State::Binding{std::string(name), window, window, std::move(handler)});
    if (m_state->watchedWindows.insert(window).second) {
        // Runs on the destroying thread before the window's posted events are
        // discarded, so no delivery can be posted to a half-destroyed window.
        QObject::connect(window, &QObject::destroyed, [this, window] { UnbindWindow(window); });
    }
    return true;
}

void CMsgDispatcher::UnbindWindow(QObject* window, std::string_view name)
{
    std::vector<std::string> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        auto& bindings = m_state->bindings;
        for (auto it = bindings.begin(); it != bindings.end();) {
            if (it->key == window && (name.empty() || it->name == name)) {
                dropped.push_back(it->name);
                it = bindings.erase(it);
            } else {
                ++it;
            }
        }
        if (name.empty())
            m_state->watchedWindows.erase(window);
    }
    for (const std::string& n : dropped)
        Unsubscribe(n);
}

void CMsgDispatcher::EnableNotifications(bool enable)
{
    std::lock_guard lock(m_state->mutex);
    m_state->enabled = enable;
}

bool CMsgDispatcher::NotificationsEnabled() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->enabled;
}

void CMsgDispatcher::ShutDownNotificationQueue(bool wait)
{
    bus::BusLink::Instance().StopThread(wait);
}

bool CMsgDispatcher::Subscribe(std::string_view name)
{
    if (name.empty())
        return false;
    std::string busName;
    {
        std::lock_guard lock(m_state->mutex);
        busName = m_state->RootBusName();
        auto it = m_state->subscriptions.find(name);
        if (it != m_state->subscriptions.end() && it->second > 0) {
            ++it->second;
            return true;
        }
    }
    const QString qBusName = QString::fromStdString(busName);
    if (!bus::BusLink::Instance().EnsureThread(qBusName))
        return false;
    if (!bus::BusLink::Instance().CallNames(qBusName, bus::kSubscribeMethod,
                                            QStringList{QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))}))
        return false;
    std::lock_guard lock(m_state->mutex);
    ++m_state->subscriptions[std::string(name)];
    return true;
}

bool CMsgDispatcher::Unsubscribe(std::string_view name)
{
    std::string busName;
    {
        std::lock_guard lock(m_state->mutex);
        auto it = m_state->subscriptions.find(name);
        if (it == m_state->subscriptions.end() || it->second <= 0)
            return false;
        if (--it->second > 0)
            return true;
        m_state->subscriptions.erase(it);
        busName = m_state->RootBusName();
    }
    return bus::BusLink::Instance().CallNames(QString::fromStdString(busName), bus::kUnsubscribeMethod,
                                              QStringList{QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))});
}

void CMsgDispatcher::Resubscribe()
{
    QStringList names;
    std::string busName;
    {
        std::lock_guard lock(m_state->mutex);
        busName = m_state->RootBusName();
        for (const auto& [name, count] : m_state->subscriptions)
            if (count > 0)
                names.append(QString::fromStdString(name));
    }
    if (!names.isEmpty())
        bus::BusLink::Instance().CallNames(QString::fromStdString(busName), bus::kSubscribeMethod, names);
}

void CMsgDispatcher::Deliver(CMsgRequest& notification)
{
    std::vector<State::ProviderEntry> providers;
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->enabled)
            return;
        providers = m_state->providers;
        ++m_state->delivering;
    }
    const std::string& name = notification.GetRequestName();
    const std::string rootName = "root:" + name;
    for (const auto& entry : providers) {
        if ((entry.flags & kProviderActive) == 0)
            continue;
        if (!entry.provider->Dispatch(rootName, notification))
            entry.provider->Dispatch(name, notification);
    }

    std::lock_guard lock(m_state->mutex);
    // Posting happens under the lock that UnbindWindow takes when a window is
    // destroyed, so a window is either unbound first or gets the event and
    // has it discarded with its other posted events.
    for (const auto& binding : m_state->bindings) {
        if (binding.name != name || binding.window.isNull())
            continue;
        auto copy = std::make_shared<CMsgRequest>(notification);
        WindowHandler handler = binding.handler;
        QMetaObject::invokeMethod(
            binding.window.data(), [copy, handler] { handler(*copy); }, Qt::QueuedConnection);
    }
    if (--m_state->delivering == 0)
        m_state->idle.notify_all();
}
