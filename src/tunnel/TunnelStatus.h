#pragma once

#include "platform/ipc/ControlProtocol.h"

#include <QObject>
#include <QString>
#include <optional>

namespace veloxa {

// The client's own view of the tunnel's state. Raw values are stable: containers store
// them as integers and convert back.
namespace TunnelStatusNS {
Q_NAMESPACE

// Capitalised: QML reads only enumeration keys that start with a capital.
enum class TunnelStatus : qint64 {
    Inactive = 0,
    Activating = 1,
    Active = 2,
    Deactivating = 3,
    Reasserting = 4,
    Restarting = 5,
    Waiting = 6,
};
Q_ENUM_NS(TunnelStatus)
} // namespace TunnelStatusNS

using TunnelStatus = TunnelStatusNS::TunnelStatus;

namespace tunnelstatus {
std::optional<TunnelStatus> fromRaw(qint64 raw);
QString text(TunnelStatus status);
// Unknown VPN raw values count as no tunnel.
TunnelStatus fromVPNStatus(int vpnRaw);
QString vpnStatusText(int vpnRaw);
} // namespace tunnelstatus

} // namespace veloxa
