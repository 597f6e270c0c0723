// Handlers for notifications, registered with the dispatcher under a target.
//
// A provider maps full notification names ("root:korva.config.notify": the
// target the notification came from, a colon, its name) to handlers. The map
// is built once, when the provider is registered (BuildMap). A handler is
// either a function or another provider (an aggregate), whose OnNotify is
// called. Handlers run on the bus thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class CMsgRequest;

class CMsgProvider {
public:
    using Handler = std::function<bool(CMsgRequest& request)>;

    virtual ~CMsgProvider() = default;

    // Called once by the dispatcher when the provider is registered.
    virtual void BuildMap() {}
    // Called for a notification when the provider is a handler in another
    // provider's map. The default does nothing and returns false.
    virtual bool OnNotify(CMsgRequest& request);

    void AddProvider(std::string fullName, Handler handler);
    void AddProvider(std::string fullName, std::shared_ptr<CMsgProvider> handler);

    // Calls the handler mapped to FULL_NAME; false when none is.
    bool Dispatch(std::string_view fullName, CMsgRequest& request);
    bool Handles(std::string_view fullName) const;
    // The notification names of the map, without their target prefix.
    std::vector<std::string> GetNotificationNames() const;

private:
    struct Entry {
        std::string fullName;
        Handler handler;
        std::shared_ptr<CMsgProvider> aggregate;
    };
    mutable std::mutex m_mutex;
    std::vector<Entry> m_map;
};
