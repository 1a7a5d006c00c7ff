#include "TunnelStatus.h"

namespace veloxa::tunnelstatus {

std::optional<TunnelStatus> fromRaw(qint64 raw) {
    if (raw < 0 || raw > 6)
        return std::nullopt;
    return static_cast<TunnelStatus>(raw);
}

QString text(TunnelStatus status) {
    switch (status) {
    case TunnelStatus::Inactive:
        return QStringLiteral("inactive");
    case TunnelStatus::Activating:
        return QStringLiteral("activating");
    case TunnelStatus::Active:
        return QStringLiteral("active");
    case TunnelStatus::Deactivating:
        return QStringLiteral("deactivating");
    case TunnelStatus::Reasserting:
        return QStringLiteral("reasserting");
    case TunnelStatus::Restarting:
        return QStringLiteral("restarting");
    case TunnelStatus::Waiting:
        return QStringLiteral("waiting");
    }
    return QStringLiteral("unknown(%1)").arg(static_cast<qint64>(status));
}

TunnelStatus fromVPNStatus(int vpnRaw) {
    switch (static_cast<VPNStatus>(vpnRaw)) {
    case VPNStatus::invalid:
    case VPNStatus::disconnected:
        return TunnelStatus::Inactive;
    case VPNStatus::connecting:
        return TunnelStatus::Activating;
    case VPNStatus::connected:
        return TunnelStatus::Active;
    case VPNStatus::reasserting:
        return TunnelStatus::Reasserting;
    case VPNStatus::disconnecting:
        return TunnelStatus::Deactivating;
    }
    return TunnelStatus::Inactive;
}

QString vpnStatusText(int vpnRaw) {
    static const char* const names[] = {"invalid",   "disconnected", "connecting",
                                        "connected", "reasserting",  "disconnecting"};
    if (vpnRaw < 0 || vpnRaw > 5)
        return QStringLiteral("unknown(%1)").arg(vpnRaw);
    return QString::fromLatin1(names[vpnRaw]);
}

} // namespace veloxa::tunnelstatus
