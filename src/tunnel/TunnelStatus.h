#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace veloxa {

// The client's own view of the tunnel's state. Raw values are stable: containers store
// them as integers and convert back.
namespace TunnelStatusNS {
Q_NAMESPACE

enum class TunnelStatus : qint64 {
    inactive = 0,
    activating = 1,
    active = 2,
    deactivating = 3,
    reasserting = 4,
    restarting = 5,
    waiting = 6,
    // Capitalised aliases for QML, which reads only keys that start with a capital.
    Inactive = inactive,
    Activating = activating,
    Active = active,
    Deactivating = deactivating,
    Reasserting = reasserting,
    Restarting = restarting,
    Waiting = waiting,
};
Q_ENUM_NS(TunnelStatus)
} // namespace TunnelStatusNS

using TunnelStatus = TunnelStatusNS::TunnelStatus;

// Raw values of the VPN connection status, as the tunnel service reports them.
enum class VPNStatus : int {
    invalid = 0,
    disconnected = 1,
    connecting = 2,
    connected = 3,
    reasserting = 4,
    disconnecting = 5,
};

namespace tunnelstatus {
std::optional<TunnelStatus> fromRaw(qint64 raw);
QString text(TunnelStatus status);
// Unknown VPN raw values count as no tunnel.
TunnelStatus fromVPNStatus(int vpnRaw);
QString vpnStatusText(int vpnRaw);
} // namespace tunnelstatus

} // namespace veloxa
