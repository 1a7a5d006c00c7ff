#pragma once

#include "ModelEnums.h"
#include "tunnel/TunnelStatus.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace veloxa {

class AccountSession;
class PublicIPLookup;
class SingboxTunnelContainer;
class SingboxTunnelsManager;
struct DeviceConfig;

// The model's connection part: the region, connecting and disconnecting through the
// tunnels manager, the 1 s status poll with the session's time and counters, and the public
// address seen through the tunnel. What may be connected comes from the account part.
class VpnConnection : public QObject {
    Q_OBJECT
public:
    using Region = ModelEnums::Region;

    VpnConnection(const AccountSession& account, QUrl ipEchoURL,
                  std::chrono::milliseconds ipEchoTimeout, std::chrono::milliseconds pollInterval,
                  QObject* parent = nullptr);

    // The VPN profile's name for a region ("Veloxa — Germany"), and back.
    static QString tunnelName(Region region);
    static std::optional<Region> regionForTunnelName(const QString& name);
    // The region's key in the account's configurations ("de", "ru").
    static QString rawValue(Region region) {
        return region == Region::Ru ? QStringLiteral("ru") : QStringLiteral("de");
    }

    Region selectedRegion() const { return m_selectedRegion; }
    void setSelectedRegion(Region value);
    TunnelStatus tunnelStatus() const { return m_tunnelStatus; }
    void setTunnelStatus(TunnelStatus value);
    const std::optional<QDateTime>& sessionStartedAt() const { return m_sessionStartedAt; }
    void setSessionStartedAt(std::optional<QDateTime> value);
    quint64 sessionRxBytes() const { return m_sessionRxBytes; }
    void setSessionRxBytes(quint64 value);
    quint64 sessionTxBytes() const { return m_sessionTxBytes; }
    void setSessionTxBytes(quint64 value);
    const std::optional<QString>& publicIP() const { return m_publicIP; }
    void setPublicIP(std::optional<QString> value);
    const std::optional<QString>& connectedRegionLabel() const { return m_connectedRegionLabel; }
    void setConnectedRegionLabel(std::optional<QString> value);
    const std::optional<QString>& vpnErrorMessage() const { return m_vpnErrorMessage; }
    void setVpnErrorMessage(std::optional<QString> value);
    // Connected or on the way there: what signing out and a lapsed subscription stop.
    bool tunnelIsUp() const {
        return m_tunnelStatus == TunnelStatus::Active || m_tunnelStatus == TunnelStatus::Activating;
    }

    const std::shared_ptr<SingboxTunnelsManager>& tunnelsManager() const {
        return m_tunnelsManager;
    }
    void setTunnelsManager(std::shared_ptr<SingboxTunnelsManager> manager) {
        m_tunnelsManager = std::move(manager);
    }
    QTimer* pollTimer() const { return m_pollTimer; }

    void connect();
    void disconnect();
    // The power button's, the tray's and the menu's one rule.
    void toggleConnection();
    void refreshTunnelStatus();
    void pollTunnel();
    void startStatusPolling();
    // The session ends: no tunnel, no profile.
    void endSession();
    // The subscription lapsed: a tunnel that is up goes down, saying why.
    void stopForLapsedSubscription();

signals:
    void selectedRegionChanged();
    void tunnelStatusChanged();
    void sessionStartedAtChanged();
    void sessionRxBytesChanged();
    void sessionTxBytesChanged();
    void publicIPChanged();
    void connectedRegionLabelChanged();
    void vpnErrorMessageChanged();

private:
    void beginTunnelSession(const DeviceConfig& config);
    // Session time, counters, address and label back to "no session".
    void clearSession();
    std::shared_ptr<SingboxTunnelContainer> firstTunnel() const;

    const AccountSession& m_account;
    std::chrono::milliseconds m_pollInterval;
    PublicIPLookup* m_ipLookup;
    std::shared_ptr<SingboxTunnelsManager> m_tunnelsManager;
    QPointer<QTimer> m_pollTimer;
    TunnelStatus m_previousStatus = TunnelStatus::Inactive;
    Region m_selectedRegion = Region::De;
    TunnelStatus m_tunnelStatus = TunnelStatus::Inactive;
    std::optional<QDateTime> m_sessionStartedAt;
    quint64 m_sessionRxBytes = 0;
    quint64 m_sessionTxBytes = 0;
    std::optional<QString> m_publicIP;
    std::optional<QString> m_connectedRegionLabel;
    std::optional<QString> m_vpnErrorMessage;
};

} // namespace veloxa
