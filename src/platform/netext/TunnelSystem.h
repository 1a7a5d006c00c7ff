#pragma once

#include "TunnelProviderManager.h"

#include <QObject>

namespace veloxa {

class XPCConnection;

// The platform's VPN system as the tunnel layer sees it: the store of tunnel
// configurations, the centre that announces their status changes, and connections to a
// running tunnel's named services. Each platform's backend implements it.
class TunnelSystem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The platform's system for this process.
    static TunnelSystem& shared();

    // Every stored configuration, or the store's error.
    virtual void loadAllFromPreferences(
        std::function<void(TunnelProviderManager::Managers, std::optional<QString>)> done) = 0;
    // A new, unsaved configuration in this system's store.
    virtual std::shared_ptr<TunnelProviderManager> makeManager() = 0;
    // A connection (not yet resumed) to the named service of the running tunnel.
    virtual XPCConnection* connectionToService(const QString& serviceName) = 0;

signals:
    // Any configuration's status changed.
    void statusDidChange(const QString& identifier);
};

} // namespace veloxa
