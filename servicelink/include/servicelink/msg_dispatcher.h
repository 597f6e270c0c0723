// The process's message dispatcher: targets, providers, window bindings and
// the bus thread that delivers notifications.
//
// A target names a service address. "root" always exists and means the
// service on the session bus; RegisterTarget adds others ("local_pipe:korva5"
// and every other address name the same service; "dbus:NAME" names the
// service owning bus name NAME). LookupTarget of an unknown name answers the
// root target, so "target X is the same as root" means "no target X yet".
//
// Notifications arrive on the bus thread. Each is offered to every provider
// (as "<target>:<name>" for the root target, then as the bare name) and then
// posted to every window bound to its name; a bound window's handler runs on
// the window's own thread with a copy of the notification that lives for the
// call. A window that is destroyed loses its bindings.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CMsgProvider;
class CMsgRequest;
class QObject;

struct CMsgTarget {
    std::string name;
    std::string address;
    std::string busName;  // the service's bus name this address resolves to
};

class CMsgDispatcher {
public:
    using WindowHandler = std::function<void(CMsgRequest& request)>;

    static CMsgDispatcher& Instance();

    bool RegisterTarget(std::string_view name, std::string_view address);
    // The target NAME, or the root target when there is none of that name.
    // The pointer stays valid until that target is deleted.
    const CMsgTarget* LookupTarget(std::string_view name) const;
    // The bus name of the service behind target NAME (root when unknown), as
    // a copy, for callers on other threads than the one that deletes targets.
    std::string TargetBusName(std::string_view name) const;
    // Removes target NAME and the providers registered under it. Waits for a
    // delivery in progress on the bus thread unless called from it. The root
    // target itself stays, only its providers go.
    bool DeleteTarget(std::string_view name);

    // Registers PROVIDER under TARGET (created at the root's address when
    // missing), builds its map and subscribes to its notification names
    // (FLAGS bit 1). The caller keeps ownership and must DeleteTarget before
    // freeing it.
    bool RegisterProvider(std::string_view target, CMsgProvider* provider, unsigned flags);

    // Window delivery of notification NAME to WINDOW.
    bool BindWindow(std::string_view name, QObject* window, WindowHandler handler);
    // Removes every binding of WINDOW; with NAME, only that one.
    void UnbindWindow(QObject* window, std::string_view name = {});

    // Turns delivery on or off; notifications arriving while off are dropped.
    void EnableNotifications(bool enable);
    bool NotificationsEnabled() const;
    // Stops the bus thread; WAIT waits for the delivery in progress. The
    // thread starts again when something needs it.
    void ShutDownNotificationQueue(bool wait);

    // Asks the service to send NAME to this process (counted: the service is
    // asked once per name, and told to stop at the last Unsubscribe).
    bool Subscribe(std::string_view name);
    bool Unsubscribe(std::string_view name);
    // Asks the service again for every subscribed name (after it restarted).
    void Resubscribe();

    // Delivers NOTIFICATION as if it had come from the service (tests and
    // in-process sources); runs on the calling thread.
    void Deliver(CMsgRequest& notification);

    struct State;

private:
    CMsgDispatcher();
    ~CMsgDispatcher();
    std::unique_ptr<State> m_state;
};
