#pragma once

#include "ModelEnums.h"
#include "tunnel/TunnelStatus.h"

#include <QDateTime>
#include <QElapsedTimer>
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
// A session runs from the tunnel's first "active" to the end the user or the system puts
// to it; while the tunnel service brings a dropped tunnel back (reasserting) the session
// carries on, with its start time, counters, address and region.
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
    // Ignored while reconnecting: the tunnel coming back is the one that dropped.
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
    // Connected, on the way there or coming back: what signing out, a lapsed subscription
    // and the toggle (but for activating) stop.
    bool tunnelIsUp() const {
        return m_tunnelStatus == TunnelStatus::Active ||
               m_tunnelStatus == TunnelStatus::Activating ||
               m_tunnelStatus == TunnelStatus::Reasserting;
    }
    // A connect is saving the profile; the tunnel's status has not moved yet. Bounded, so
    // an answer that never comes does not block the next connect.
    bool isPreparing() const { return m_preparing.isValid() && m_preparing.elapsed() < 30000; }
    // The session's figures are shown: connected, or coming back (the service's totals).
    bool sessionIsShown() const {
        return m_tunnelStatus == TunnelStatus::Active ||
               m_tunnelStatus == TunnelStatus::Reasserting;
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
    // The power button's, the tray's and the menu's one rule: connected or reconnecting
    // disconnects (the user's disconnect always works), anything else connects.
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
    // The tunnel dropped and the system is bringing it back (traffic is held meanwhile).
    void connectionLost();
    // It is back, within the same session.
    void connectionRestored();

private:
    // Where a connect the user asked for stands, until the tunnel is active.
    enum class Attempt { none, requested, started };

    void beginTunnelSession(const DeviceConfig& config);
    // The session's start: the region of the running profile, its label, the time.
    void adoptSession(const SingboxTunnelContainer& tunnel);
    // A connect that ended before the tunnel was ever active: no session, and why.
    void attemptFailed(const std::optional<QString>& reason);
    // Session time, counters, address and label back to "no session".
    void clearSession();
    std::shared_ptr<SingboxTunnelContainer> firstTunnel() const;

    const AccountSession& m_account;
    std::chrono::milliseconds m_pollInterval;
    PublicIPLookup* m_ipLookup;
    std::shared_ptr<SingboxTunnelsManager> m_tunnelsManager;
    QPointer<QTimer> m_pollTimer;
    TunnelStatus m_previousStatus = TunnelStatus::Inactive;
    bool m_sessionUp = false;
    // Counters asked for before a session ended must not land in the next one (or in none).
    quint64 m_sessionGeneration = 0;
    QElapsedTimer m_preparing; // since the profile was sent for a connect; invalid otherwise
    Attempt m_attempt = Attempt::none;
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
