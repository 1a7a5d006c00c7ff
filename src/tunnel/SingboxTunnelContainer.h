#pragma once

#include "SingboxRuntimeStats.h"
#include "TunnelStatus.h"
#include "TunnelXPCProtocol.h"
#include "platform/Bundle.h"
#include "platform/ipc/XPCConnection.h"
#include "platform/netext/TunnelProviderManager.h"

#include <memory>

namespace veloxa {

// One tunnel: a stored VPN configuration, the client's view of its status, and the
// statistics connection to the running tunnel (made on demand, reused across polls).
class SingboxTunnelContainer : public std::enable_shared_from_this<SingboxTunnelContainer> {
public:
    using Completion = std::function<void(std::optional<QString> error)>;

    // Makes a connection (not yet resumed) to the running tunnel's named service.
    using Connect = std::function<XPCConnection*(const QString& serviceName)>;

    // The initial status comes from the configuration's connection; `connect` makes the
    // statistics connection when one is needed.
    static std::shared_ptr<SingboxTunnelContainer>
    create(std::shared_ptr<TunnelProviderManager> provider, Bundle bundle, Connect connect);

    TunnelStatus status() const { return m_status; }
    // The system's reason for the tunnel's last stop that nobody asked for, if any.
    std::optional<QString> lastDisconnectError() const;
    const std::shared_ptr<TunnelProviderManager>& tunnelProvider() const { return m_provider; }
    XPCConnection* xpcConnection() const { return m_xpc.get(); }

    void startActivation(Completion done);
    void stopActivation();
    void refreshStatus();

    // The statistics proxy, connecting first when needed; nothing without a service name.
    std::shared_ptr<TunnelXPCProtocol> xpcProxy();
    // Calls back with the counters or with nothing; not at all when the request cannot
    // be delivered.
    void
    getRuntimeTunnelConfiguration(std::function<void(std::optional<SingboxRuntimeStats>)> done);

private:
    SingboxTunnelContainer(std::shared_ptr<TunnelProviderManager> provider, Bundle bundle,
                           Connect connect);
    TunnelStatus currentSystemStatus();
    void clearConnection(XPCConnection* which);

    struct DeleteLater {
        void operator()(XPCConnection* c) const { c->deleteLater(); }
    };

    TunnelStatus m_status = TunnelStatus::Inactive;
    std::shared_ptr<TunnelProviderManager> m_provider;
    std::unique_ptr<XPCConnection, DeleteLater> m_xpc;
    Bundle m_bundle;
    Connect m_connect;
};

} // namespace veloxa
