#include "TunnelStatus.h"

namespace veloxa::tunnelstatus {

std::optional<TunnelStatus> fromRaw(qint64 raw) {
    if (raw < 0 || raw > 6)
        return std::nullopt;
    return static_cast<TunnelStatus>(raw);
}

QString text(TunnelStatus status) {
    switch (status) {
    case TunnelStatus::inactive:
        return QStringLiteral("inactive");
    case TunnelStatus::activating:
        return QStringLiteral("activating");
    case TunnelStatus::active:
        return QStringLiteral("active");
    case TunnelStatus::deactivating:
        return QStringLiteral("deactivating");
    case TunnelStatus::reasserting:
        return QStringLiteral("reasserting");
    case TunnelStatus::restarting:
        return QStringLiteral("restarting");
    case TunnelStatus::waiting:
        return QStringLiteral("waiting");
    }
    return QStringLiteral("unknown(%1)").arg(static_cast<qint64>(status));
}

TunnelStatus fromVPNStatus(int vpnRaw) {
    switch (static_cast<VPNStatus>(vpnRaw)) {
    case VPNStatus::invalid:
    case VPNStatus::disconnected:
        return TunnelStatus::inactive;
    case VPNStatus::connecting:
        return TunnelStatus::activating;
    case VPNStatus::connected:
        return TunnelStatus::active;
    case VPNStatus::reasserting:
        return TunnelStatus::reasserting;
    case VPNStatus::disconnecting:
        return TunnelStatus::deactivating;
    }
    return TunnelStatus::inactive;
}

QString vpnStatusText(int vpnRaw) {
    static const char* const names[] = {"invalid",   "disconnected", "connecting",
                                        "connected", "reasserting",  "disconnecting"};
    if (vpnRaw < 0 || vpnRaw > 5)
        return QStringLiteral("unknown(%1)").arg(vpnRaw);
    return QString::fromLatin1(names[vpnRaw]);
}

} // namespace veloxa::tunnelstatus
