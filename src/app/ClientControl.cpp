#include "ClientControl.h"

#include "AppState.h"
#include "VpnConnection.h"
#include "localization/Localization.h"

#include <QTimer>

namespace veloxa {

using T = Localization::Text;

ClientControl::ClientControl(AppState& model, std::function<void()> showWindow, QObject* parent)
    : QObject(parent), m_model(model), m_showWindow(std::move(showWindow)) {
    const auto whole = [this] { emit changed(false); };
    for (auto signal : {&AppState::tunnelStatusChanged, &AppState::selectedRegionChanged,
                        &AppState::publicIPChanged, &AppState::sessionStartedAtChanged,
                        &AppState::isLoggedInChanged, &AppState::vpnErrorMessageChanged})
        QObject::connect(&m_model, signal, this, whole);
    for (auto signal : {&AppState::sessionRxBytesChanged, &AppState::sessionTxBytesChanged})
        QObject::connect(&m_model, signal, this, [this] { emit changed(true); });
}

ClientControl::Snapshot ClientControl::snapshot() const {
    Snapshot s;
    s.status = tunnelstatus::text(m_model.tunnelStatus());
    s.region = VpnConnection::rawValue(m_model.selectedRegion());
    s.publicIP = m_model.connection().publicIP().value_or(QString());
    if (const auto& started = m_model.connection().sessionStartedAt())
        s.sessionStartedAt = started->toSecsSinceEpoch();
    s.rxBytes = m_model.sessionRxBytes();
    s.txBytes = m_model.sessionTxBytes();
    s.signedIn = m_model.isLoggedIn();
    s.errorMessage = m_model.connection().vpnErrorMessage().value_or(QString());
    return s;
}

std::optional<ModelEnums::Region> ClientControl::regionFromCode(const QString& code) {
    for (const auto region : {ModelEnums::Region::De, ModelEnums::Region::Ru})
        if (VpnConnection::rawValue(region) == code)
            return region;
    return std::nullopt;
}

bool ClientControl::accountLoading() const {
    return m_model.isLoggedIn() && m_model.subscriptionStatus().isEmpty();
}

void ClientControl::whenAccountLoaded(std::function<void()> then) {
    if (!accountLoading()) {
        then();
        return;
    }
    // One of the two happens first: the account arrives, or the wait ends; `then` runs once.
    auto* waiter = new QObject(this);
    auto fire = [waiter, then = std::move(then)] {
        waiter->deleteLater(); // and with it the other two connections
        then();
    };
    auto once = std::make_shared<bool>(false);
    auto guarded = [once, fire] {
        if (!std::exchange(*once, true))
            fire();
    };
    QObject::connect(&m_model, &AppState::subscriptionStatusChanged, waiter, guarded);
    QObject::connect(&m_model, &AppState::isLoggedInChanged, waiter, guarded);
    QTimer::singleShot(accountWaitMs, waiter, guarded);
}

std::optional<QString> ClientControl::connectNow(std::optional<ModelEnums::Region> region) {
    auto& localization = Localization::shared();
    if (!m_model.isLoggedIn())
        return localization.text(T::errorSignInRequired);
    if (m_model.systemExtensionNeedsApproval())
        return localization.text(T::tunnelServiceNeedsApproval);
    if (!m_model.connection().tunnelsManager())
        return localization.serviceMessage(
            QStringLiteral("The Veloxa tunnel service is not running"));
    const TunnelStatus status = m_model.tunnelStatus();
    const bool preparing = m_model.connection().isPreparing();
    const bool busy = status != TunnelStatus::Inactive || preparing;
    if (busy && region && *region != m_model.selectedRegion())
        return localization.text(T::disconnectToChangeRegion);
    if (status == TunnelStatus::Active || status == TunnelStatus::Activating ||
        status == TunnelStatus::Reasserting || preparing)
        return std::nullopt; // already there, or on the way
    if (region)
        m_model.setSelectedRegion(*region);
    m_model.connect();
    if (const auto& error = m_model.connection().vpnErrorMessage())
        return *error;
    return std::nullopt;
}

void ClientControl::connect(std::optional<ModelEnums::Region> region, Done done) {
    QPointer<ClientControl> self(this);
    whenAccountLoaded([self, region, done = std::move(done)] {
        if (self)
            done(self->connectNow(region));
    });
}

void ClientControl::toggle(Done done) {
    const TunnelStatus status = m_model.tunnelStatus();
    if (status == TunnelStatus::Active || status == TunnelStatus::Reasserting) {
        disconnect();
        done(std::nullopt);
        return;
    }
    connect(std::nullopt, std::move(done));
}

void ClientControl::disconnect() {
    m_model.disconnect();
}

void ClientControl::showWindow() {
    if (m_showWindow)
        m_showWindow();
}

} // namespace veloxa
