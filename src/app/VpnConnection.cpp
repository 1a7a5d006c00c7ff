#include "VpnConnection.h"

#include "AccountSession.h"
#include "FieldChange.h"
#include "PublicIPLookup.h"
#include "localization/Localization.h"
#include "tunnel/SingboxTunnelsManager.h"

namespace veloxa {

using T = Localization::Text;

VpnConnection::VpnConnection(const AccountSession& account, QUrl ipEchoURL,
                             std::chrono::milliseconds ipEchoTimeout,
                             std::chrono::milliseconds pollInterval, QObject* parent)
    : QObject(parent), m_account(account), m_pollInterval(pollInterval),
      m_ipLookup(new PublicIPLookup(std::move(ipEchoURL), ipEchoTimeout, this)) {
    QObject::connect(m_ipLookup, &PublicIPLookup::found, this,
                     [this](const QString& address) { setPublicIP(address); });
}

void VpnConnection::setSelectedRegion(Region value) {
    if (m_tunnelStatus == TunnelStatus::Reasserting)
        return;
    setField(this, m_selectedRegion, value, &VpnConnection::selectedRegionChanged);
}
void VpnConnection::setTunnelStatus(TunnelStatus value) {
    setField(this, m_tunnelStatus, value, &VpnConnection::tunnelStatusChanged);
}
void VpnConnection::setSessionStartedAt(std::optional<QDateTime> value) {
    setField(this, m_sessionStartedAt, std::move(value), &VpnConnection::sessionStartedAtChanged);
}
void VpnConnection::setSessionRxBytes(quint64 value) {
    setField(this, m_sessionRxBytes, value, &VpnConnection::sessionRxBytesChanged);
}
void VpnConnection::setSessionTxBytes(quint64 value) {
    setField(this, m_sessionTxBytes, value, &VpnConnection::sessionTxBytesChanged);
}
void VpnConnection::setPublicIP(std::optional<QString> value) {
    setField(this, m_publicIP, std::move(value), &VpnConnection::publicIPChanged);
}
void VpnConnection::setConnectedRegionLabel(std::optional<QString> value) {
    setField(this, m_connectedRegionLabel, std::move(value),
             &VpnConnection::connectedRegionLabelChanged);
}
void VpnConnection::setVpnErrorMessage(std::optional<QString> value) {
    setField(this, m_vpnErrorMessage, std::move(value), &VpnConnection::vpnErrorMessageChanged);
}

QString VpnConnection::tunnelName(Region region) {
    return QStringLiteral("Veloxa — ") +
           (region == Region::Ru ? QStringLiteral("Russia") : QStringLiteral("Germany"));
}

std::optional<VpnConnection::Region> VpnConnection::regionForTunnelName(const QString& name) {
    for (Region region : {Region::De, Region::Ru})
        if (tunnelName(region) == name)
            return region;
    return std::nullopt;
}

SingboxTunnelsManager::Container VpnConnection::firstTunnel() const {
    if (!m_tunnelsManager || m_tunnelsManager->tunnels().isEmpty())
        return nullptr;
    return m_tunnelsManager->tunnels().first();
}

void VpnConnection::startStatusPolling() {
    if (m_pollTimer)
        delete m_pollTimer;
    auto* timer = new QTimer(this);
    timer->setInterval(m_pollInterval);
    // Owned by this part, so a tick never outlives it; Qt timers keep firing in menus.
    QObject::connect(timer, &QTimer::timeout, this, &VpnConnection::pollTunnel);
    timer->start();
    m_pollTimer = timer;
}

void VpnConnection::connect() {
    setVpnErrorMessage(std::nullopt);
    if (!m_account.isLoggedIn())
        return;
    if (!m_account.subscriptionIsActive()) {
        setVpnErrorMessage(Localization::shared().text(T::subscriptionInactiveCheckAccount));
        return;
    }
    const auto& configs = m_account.configsByRegion();
    const auto it = configs.constFind(rawValue(m_selectedRegion));
    if (it == configs.cend()) {
        setVpnErrorMessage(Localization::shared().text(T::noConfigForRegion));
        return;
    }
    if (!m_tunnelsManager || isPreparing())
        return; // a second connect before the first reached the tunnel adds nothing
    const DeviceConfig config = *it;
    m_preparing.start();
    const SingboxTunnelConfiguration tunnel{tunnelName(m_selectedRegion), config.config};
    QPointer<VpnConnection> self(this);
    if (auto first = firstTunnel()) {
        m_tunnelsManager->modify(first, tunnel, [self, config](auto error) {
            if (!self)
                return;
            self->m_preparing.invalidate();
            if (error)
                self->setVpnErrorMessage(message(*error));
            else
                self->beginTunnelSession(config);
        });
    } else {
        m_tunnelsManager->add(tunnel, [self, config](auto added) {
            if (!self)
                return;
            self->m_preparing.invalidate();
            if (!added)
                self->setVpnErrorMessage(message(added.error()));
            else
                self->beginTunnelSession(config);
        });
    }
}

void VpnConnection::beginTunnelSession(const DeviceConfig& config) {
    const auto first = firstTunnel();
    if (!first)
        return;
    setConnectedRegionLabel(config.regionLabel);
    setSessionStartedAt(QDateTime::currentDateTimeUtc());
    ++m_sessionGeneration;
    setSessionRxBytes(0);
    setSessionTxBytes(0);
    setPublicIP(std::nullopt);
    m_ipLookup->newSession();
    m_attempt = Attempt::requested;
    QPointer<VpnConnection> self(this);
    m_tunnelsManager->startActivation(first, [self](std::optional<QString> error) {
        if (!self)
            return;
        if (error)
            self->attemptFailed(error);
        else if (self->m_attempt == Attempt::requested)
            self->m_attempt = Attempt::started; // from here the status tells the outcome
    });
}

void VpnConnection::attemptFailed(const std::optional<QString>& reason) {
    m_attempt = Attempt::none;
    clearSession();
    if (reason)
        setVpnErrorMessage(Localization::shared().serviceMessage(*reason));
}

void VpnConnection::disconnect() {
    if (auto first = firstTunnel())
        first->stopActivation();
}

void VpnConnection::toggleConnection() {
    if (m_tunnelStatus == TunnelStatus::Active || m_tunnelStatus == TunnelStatus::Reasserting)
        disconnect();
    else
        connect();
}

void VpnConnection::endSession() {
    if (tunnelIsUp())
        disconnect();
    if (auto first = firstTunnel())
        m_tunnelsManager->remove(first, [](auto) {});
}

void VpnConnection::stopForLapsedSubscription() {
    if (!tunnelIsUp())
        return;
    disconnect();
    setVpnErrorMessage(Localization::shared().text(T::subscriptionInactiveDisconnected));
}

void VpnConnection::refreshTunnelStatus() {
    const auto first = firstTunnel();
    setTunnelStatus(first ? first->status() : TunnelStatus::Inactive);
}

void VpnConnection::clearSession() {
    ++m_sessionGeneration;
    setSessionStartedAt(std::nullopt);
    setSessionRxBytes(0);
    setSessionTxBytes(0);
    setPublicIP(std::nullopt);
    setConnectedRegionLabel(std::nullopt);
    m_ipLookup->newSession();
}

void VpnConnection::adoptSession(const SingboxTunnelContainer& tunnel) {
    m_ipLookup->newSession(); // what the echo said before the tunnel came up is not its address
    QString name = tunnel.tunnelProvider()->localizedDescription;
    if (name.isEmpty())
        name = QStringLiteral("Unnamed");
    const Region region = regionForTunnelName(name).value_or(m_selectedRegion);
    setField(this, m_selectedRegion, region, &VpnConnection::selectedRegionChanged);
    if (!m_sessionStartedAt)
        setSessionStartedAt(QDateTime::currentDateTimeUtc());
    if (!m_connectedRegionLabel) {
        const auto& configs = m_account.configsByRegion();
        const auto it = configs.constFind(rawValue(region));
        setConnectedRegionLabel(it != configs.cend()
                                    ? it->regionLabel
                                    : Localization::shared().regionName(rawValue(region)));
    }
}

void VpnConnection::pollTunnel() {
    refreshTunnelStatus();
    const TunnelStatus previous = std::exchange(m_previousStatus, m_tunnelStatus);
    const auto first = firstTunnel();
    if (m_tunnelStatus == TunnelStatus::Active && first) {
        if (!m_sessionUp) {
            m_sessionUp = true;
            m_attempt = Attempt::none;
            adoptSession(*first);
        } else if (previous == TunnelStatus::Reasserting) {
            emit connectionRestored();
        }
    } else if (m_tunnelStatus == TunnelStatus::Reasserting) {
        // The session carries on while the tunnel comes back; one that was never seen
        // active here starts when it is.
        if (m_sessionUp && previous == TunnelStatus::Active)
            emit connectionLost();
    } else if (m_tunnelStatus != TunnelStatus::Active) {
        if (std::exchange(m_sessionUp, false)) {
            m_attempt = Attempt::none;
            clearSession();
            if (m_tunnelStatus == TunnelStatus::Inactive && first)
                if (const auto reason = first->lastDisconnectError())
                    setVpnErrorMessage(Localization::shared().serviceMessage(*reason));
        } else if (m_attempt == Attempt::started && m_tunnelStatus == TunnelStatus::Inactive) {
            attemptFailed(first ? first->lastDisconnectError() : std::nullopt);
        }
        return;
    }
    if (!first)
        return;
    if (first->status() != TunnelStatus::Inactive) {
        QPointer<VpnConnection> self(this);
        first->getRuntimeTunnelConfiguration(
            [self, generation = m_sessionGeneration](std::optional<SingboxRuntimeStats> stats) {
                if (!self || !stats || self->m_sessionGeneration != generation)
                    return;
                self->setSessionRxBytes(stats->rxBytes);
                self->setSessionTxBytes(stats->txBytes);
            });
    }
    // Asked only through a working tunnel: while it is coming back the echo is unreachable.
    if (!m_publicIP && m_tunnelStatus == TunnelStatus::Active)
        m_ipLookup->fetchPublicIP();
}

} // namespace veloxa
