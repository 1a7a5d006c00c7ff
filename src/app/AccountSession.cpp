#include "AccountSession.h"

#include "FieldChange.h"
#include "api/APIClient.h"
#include "api/InternetDateTime.h"
#include "api/LoginResult.h"
#include "localization/Localization.h"

namespace veloxa {

AccountSession::AccountSession(APIClient& api, std::shared_ptr<SecureItemStore> secureItems,
                               std::chrono::milliseconds refreshInterval, QObject* parent)
    : QObject(parent), m_api(api),
      m_session(std::move(secureItems), QStringLiteral("app_singbox.session"),
                QStringLiteral("state"), QStringLiteral("Veloxa — сессия входа")),
      m_refreshInterval(refreshInterval) {}

void AccountSession::setIsLoggedIn(bool value) {
    setField(this, m_isLoggedIn, value, &AccountSession::isLoggedInChanged);
}
void AccountSession::setEmail(const QString& value) {
    setField(this, m_email, value, &AccountSession::emailChanged);
}
void AccountSession::setSubscriptionStatus(const QString& value) {
    setField(this, m_subscriptionStatus, value, &AccountSession::subscriptionStatusChanged);
}
void AccountSession::setExpiresAt(std::optional<QDateTime> value) {
    setField(this, m_expiresAt, std::move(value), &AccountSession::expiresAtChanged);
}
void AccountSession::setDevices(QList<DeviceSummary> value) {
    setField(this, m_devices, std::move(value), &AccountSession::devicesChanged);
}
void AccountSession::setSessionRevokedMessage(std::optional<QString> value) {
    setField(this, m_sessionRevokedMessage, std::move(value),
             &AccountSession::sessionRevokedMessageChanged);
}

void AccountSession::restore() {
    if (const auto stored = m_session.load(); stored && stored->token && stored->email) {
        setEmail(*stored->email);
        setIsLoggedIn(true);
        refreshAccount(*stored->token);
    }
}

void AccountSession::startRefresh() {
    if (m_refreshTimer)
        delete m_refreshTimer;
    auto* timer = new QTimer(this);
    timer->setInterval(m_refreshInterval);
    // Owned by this part, so a tick never outlives it.
    connect(timer, &QTimer::timeout, this, &AccountSession::refreshFromStore);
    timer->start();
    m_refreshTimer = timer;
}

std::optional<QString> AccountSession::storedToken() {
    const auto stored = m_session.load();
    return stored ? stored->token : std::nullopt;
}

SessionState AccountSession::storedOrNewSession() {
    if (auto stored = m_session.load())
        return *stored;
    return {SessionStore::newDeviceUUID(), std::nullopt, std::nullopt};
}

void AccountSession::applyLoginResult(const LoginResult& result) {
    setSessionRevokedMessage(std::nullopt);
    SessionState withToken = storedOrNewSession();
    withToken.token = result.token;
    m_session.save(withToken);
    SessionState withEmail = storedOrNewSession();
    withEmail.email = result.email;
    m_session.save(withEmail);
    setEmail(result.email);
    applyAccount(result.status, result.expiresAt, result.devices, result.configs);
    setIsLoggedIn(true);
}

void AccountSession::applyAccount(const QString& status, const std::optional<QString>& expiresAt,
                                  const QList<DeviceSummary>& devices,
                                  const QList<DeviceConfig>& configs) {
    setSubscriptionStatus(status);
    setExpiresAt(InternetDateTime::parse(expiresAt));
    setDevices(devices);
    // Rebuilt whole; with a region listed twice the later entry wins.
    QMap<QString, DeviceConfig> map;
    for (const auto& config : configs)
        map.insert(config.region, config);
    m_configsByRegion = std::move(map);
}

QCoro::Task<> AccountSession::refreshAccount(QString token) {
    QPointer<AccountSession> self(this);
    const auto result = co_await m_api.fetchMe(token);
    if (!self)
        co_return;
    if (!result) {
        if (result.error().kind() == APIError::Kind::unauthorized)
            handleSessionRevoked();
        co_return; // other failures: the next tick tries again
    }
    // Only a refresh stops a tunnel: signing in never touches it.
    const bool wasActive = subscriptionIsActive();
    applyAccount(result->status, result->expiresAt, result->devices, result->configs);
    if (wasActive && !subscriptionIsActive())
        emit subscriptionLapsed();
}

void AccountSession::refreshFromStore() {
    if (!m_isLoggedIn)
        return;
    if (const auto token = storedToken())
        refreshAccount(*token);
}

QCoro::Task<> AccountSession::revokeDevice(QString deviceUUID) {
    const auto token = storedToken();
    if (!token)
        co_return;
    QPointer<AccountSession> self(this);
    emit errorReported(std::nullopt);
    const auto result = co_await m_api.deleteDevice(deviceUUID, *token);
    if (!self)
        co_return;
    if (!result) {
        emit errorReported(result.error().description());
        co_return;
    }
    if (m_session.currentDeviceUUID() == deviceUUID)
        handleSessionRevoked();
    else
        co_await refreshAccount(*token);
}

void AccountSession::signOut() {
    if (const auto token = storedToken()) {
        // In the background; its outcome does not matter to the local sign-out.
        [](APIClient& api, QString t) -> QCoro::Task<> { co_await api.logout(t); }(m_api, *token);
    }
    leaveSession();
}

void AccountSession::handleSessionRevoked() {
    leaveSession();
    setSessionRevokedMessage(Localization::shared().text(Localization::Text::deviceDisconnected));
}

void AccountSession::leaveSession() {
    emit leaving();
    clearSignedInState();
}

void AccountSession::clearSignedInState() {
    const auto stored = m_session.load();
    const QString uuid = stored ? stored->deviceUUID : SessionStore::newDeviceUUID();
    m_session.save({uuid, std::nullopt, std::nullopt});
    setIsLoggedIn(false);
    setEmail(QString());
    setSubscriptionStatus(QString());
    setExpiresAt(std::nullopt);
    setDevices({});
    m_configsByRegion.clear();
    emit signedInStateCleared();
}

} // namespace veloxa
