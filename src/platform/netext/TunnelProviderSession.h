#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace veloxa {

class TunnelServiceClient;

// The connection of one saved configuration: its status (VPN numbering) and start/stop.
class TunnelProviderSession {
public:
    TunnelProviderSession(TunnelServiceClient& client, QString identifier);

    int status() const;
    // Why the tunnel last stopped without being asked to, as the system said.
    std::optional<QString> lastDisconnectError() const;
    // Fails at once, with the error returned, while the service is unreachable; otherwise
    // the start is queued and `done` later gets the service's refusal or nothing.
    std::optional<QString> startTunnel(std::function<void(std::optional<QString>)> done);
    // Asynchronous; the outcome arrives as status changes.
    void stopTunnel();

private:
    TunnelServiceClient& m_client;
    QString m_identifier;
};

} // namespace veloxa
