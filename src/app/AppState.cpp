#include "AppState.h"

#include "BuildConfig.h"
#include "DeviceIdentity.h"
#include "api/InternetDateTime.h"
#include "localization/Localization.h"
#include "platform/PlatformServices.h"
#include "platform/sysext/SystemExtensionManager.h"
#include "tunnel/SystemExtensionActivator.h"
#include "ui/ViewFormat.h"

#include "PublicIPLookup.h"

namespace veloxa {

using T = Localization::Text;

namespace {
// Sets a field and announces it only when the value really changes.
template <class V> bool assign(V& field, V value) {
    if (field == value)
        return false;
    field = std::move(value);
    return true;
}
// Absent optionals read as null in QML (an invalid QVariant would read as undefined).
template <class V> QVariant optionalValue(const std::optional<V>& value) {
    return value ? QVariant::fromValue(*value) : QVariant::fromValue(nullptr);
}
} // namespace

AppState::Dependencies AppState::Dependencies::production() {
    Dependencies d;
    d.secureItems = PlatformServices::secureItemStore();
    d.serviceBaseURL = QUrl(QString::fromUtf8(build::serviceBaseUrl), QUrl::StrictMode);
    d.ipEchoURL = QUrl(QString::fromUtf8(build::ipEchoUrl), QUrl::StrictMode);
    d.deviceName = DeviceIdentity::currentDeviceName();
    return d;
}

AppState::AppState(Dependencies dependencies, QObject* parent)
    : QObject(parent), m_deps(std::move(dependencies)),
      m_api(std::make_unique<APIClient>(m_deps.serviceBaseURL)),
      m_session(m_deps.secureItems, QStringLiteral("app_singbox.session"), QStringLiteral("state"),
                QStringLiteral("Veloxa — сессия входа")),
      m_platform(DeviceIdentity::platform()), m_deviceName(m_deps.deviceName),
      m_ipLookup(new PublicIPLookup(m_deps.ipEchoURL, m_deps.ipEchoTimeout, this)),
      m_deviceList(new DeviceListModel(true, this)),
      m_replaceable(new DeviceListModel(false, this)) {
    auto screen = [this] { emit accountScreenChanged(); };
    QObject::connect(this, &AppState::isLoggedInChanged, this, screen);
    QObject::connect(this, &AppState::pendingDeviceLimitChanged, this, screen);
    QObject::connect(this, &AppState::pendingDeviceLimitChanged, this, [this] {
        m_replaceable->setDevices(
            m_pendingDeviceLimit ? m_pendingDeviceLimit->devices : QList<DeviceSummary>{}, {});
    });
    QObject::connect(m_ipLookup, &PublicIPLookup::found, this,
                     [this](const QString& address) { setPublicIP(address); });
    auto traffic = [this] { emit trafficTextChanged(); };
    QObject::connect(this, &AppState::sessionRxBytesChanged, this, traffic);
    QObject::connect(this, &AppState::sessionTxBytesChanged, this, traffic);
    QObject::connect(this, &AppState::tunnelStatusChanged, this, traffic);
    if (const auto stored = m_session.load(); stored && stored->token && stored->email) {
        setEmail(*stored->email);
        setIsLoggedIn(true);
        refreshAccount(*stored->token);
    }
    startAccountRefresh();
}

AppState::~AppState() {
    // Requests in flight end now, as failures their coroutines see after the model is gone.
    *m_alive = false;
    m_api->abortAll();
}

// ---------------------------------------------------------------- fields

void AppState::setSelectedRootTab(RootTab tab) {
    if (assign(m_selectedRootTab, tab))
        emit selectedRootTabChanged();
}
void AppState::setIsLoggedIn(bool value) {
    if (assign(m_isLoggedIn, value)) {
        emit isLoggedInChanged();
        emit canConnectChanged();
    }
}
void AppState::setEmail(const QString& value) {
    if (assign(m_email, value))
        emit emailChanged();
}
void AppState::setSubscriptionStatus(const QString& value) {
    if (assign(m_subscriptionStatus, value)) {
        emit subscriptionStatusChanged();
        emit canConnectChanged();
    }
}
void AppState::setExpiresAt(std::optional<QDateTime> value) {
    if (assign(m_expiresAt, std::move(value)))
        emit expiresAtChanged();
}
void AppState::setDevices(QList<DeviceSummary> value) {
    if (assign(m_devices, std::move(value))) {
        m_deviceList->setDevices(m_devices, m_devices.isEmpty() ? QString() : currentDeviceUUID());
        emit devicesChanged();
    }
}

AppState::AccountScreen AppState::accountScreen() const {
    if (m_pendingDeviceLimit)
        return AccountScreen::chooser;
    return m_isLoggedIn ? AccountScreen::account : AccountScreen::signIn;
}

QString AppState::receivedText() const {
    return ViewFormat::traffic(m_tunnelStatus == TunnelStatus::active, m_sessionRxBytes);
}

QString AppState::sentText() const {
    return ViewFormat::traffic(m_tunnelStatus == TunnelStatus::active, m_sessionTxBytes);
}
void AppState::setPendingDeviceLimit(std::optional<DeviceLimitResult> value) {
    if (assign(m_pendingDeviceLimit, std::move(value)))
        emit pendingDeviceLimitChanged();
}
void AppState::setAuthErrorMessage(std::optional<QString> value) {
    if (assign(m_authErrorMessage, std::move(value)))
        emit authErrorMessageChanged();
}
void AppState::setSessionRevokedMessage(std::optional<QString> value) {
    if (assign(m_sessionRevokedMessage, std::move(value)))
        emit sessionRevokedMessageChanged();
}
void AppState::setLoginEmail(const QString& value) {
    if (assign(m_loginEmail, value))
        emit loginEmailChanged();
}
void AppState::setLoginCode(const QString& value) {
    if (assign(m_loginCode, value))
        emit loginCodeChanged();
}
void AppState::setLoginStage(LoginStage value) {
    if (assign(m_loginStage, value))
        emit loginStageChanged();
}
void AppState::setLoginIsLoading(bool value) {
    if (assign(m_loginIsLoading, value))
        emit loginIsLoadingChanged();
}
void AppState::setOtpCooldownEndsAt(std::optional<QDateTime> value) {
    if (assign(m_otpCooldownEndsAt, std::move(value)))
        emit otpCooldownEndsAtChanged();
}
void AppState::setSelectedRegion(Region value) {
    if (assign(m_selectedRegion, value))
        emit selectedRegionChanged();
}
void AppState::setTunnelStatus(TunnelStatus value) {
    if (assign(m_tunnelStatus, value))
        emit tunnelStatusChanged();
}
void AppState::setSessionStartedAt(std::optional<QDateTime> value) {
    if (assign(m_sessionStartedAt, std::move(value)))
        emit sessionStartedAtChanged();
}
void AppState::setSessionRxBytes(quint64 value) {
    if (assign(m_sessionRxBytes, value))
        emit sessionRxBytesChanged();
}
void AppState::setSessionTxBytes(quint64 value) {
    if (assign(m_sessionTxBytes, value))
        emit sessionTxBytesChanged();
}
void AppState::setPublicIP(std::optional<QString> value) {
    if (assign(m_publicIP, std::move(value)))
        emit publicIPChanged();
}
void AppState::setConnectedRegionLabel(std::optional<QString> value) {
    if (assign(m_connectedRegionLabel, std::move(value)))
        emit connectedRegionLabelChanged();
}
void AppState::setVpnErrorMessage(std::optional<QString> value) {
    if (assign(m_vpnErrorMessage, std::move(value)))
        emit vpnErrorMessageChanged();
}
void AppState::setSystemExtensionNeedsApproval(bool value) {
    if (assign(m_systemExtensionNeedsApproval, value))
        emit systemExtensionNeedsApprovalChanged();
}

QVariant AppState::expiresAtValue() const {
    return optionalValue(m_expiresAt);
}
QVariantList AppState::devicesValue() const {
    QVariantList out;
    for (const auto& d : m_devices)
        out << QVariant::fromValue(d);
    return out;
}
QVariant AppState::pendingDeviceLimitValue() const {
    return optionalValue(m_pendingDeviceLimit);
}
void AppState::setPendingDeviceLimitValue(const QVariant& value) {
    // Views only ever dismiss the chooser; a limit comes from the service.
    if (value.isNull() || !value.isValid())
        setPendingDeviceLimit(std::nullopt);
    else if (value.canConvert<DeviceLimitResult>())
        setPendingDeviceLimit(value.value<DeviceLimitResult>());
}
QVariant AppState::authErrorMessageValue() const {
    return optionalValue(m_authErrorMessage);
}
void AppState::setAuthErrorMessageValue(const QVariant& value) {
    setAuthErrorMessage(value.isNull() || !value.isValid()
                            ? std::nullopt
                            : std::optional<QString>(value.toString()));
}
QVariant AppState::sessionRevokedMessageValue() const {
    return optionalValue(m_sessionRevokedMessage);
}
QVariant AppState::otpCooldownEndsAtValue() const {
    return optionalValue(m_otpCooldownEndsAt);
}
void AppState::setOtpCooldownEndsAtValue(const QVariant& value) {
    const QDateTime date = value.toDateTime();
    setOtpCooldownEndsAt(value.isNull() || !date.isValid() ? std::nullopt
                                                           : std::optional<QDateTime>(date));
}
QVariant AppState::sessionStartedAtValue() const {
    return optionalValue(m_sessionStartedAt);
}
QVariant AppState::publicIPValue() const {
    return optionalValue(m_publicIP);
}
QVariant AppState::connectedRegionLabelValue() const {
    return optionalValue(m_connectedRegionLabel);
}
QVariant AppState::vpnErrorMessageValue() const {
    return optionalValue(m_vpnErrorMessage);
}

// ---------------------------------------------------------------- timers

void AppState::startStatusPolling() {
    if (m_pollTimer)
        delete m_pollTimer;
    auto* timer = new QTimer(this);
    timer->setInterval(m_deps.pollInterval);
    // Owned by the model, so a tick never outlives it; Qt timers keep firing in menus.
    QObject::connect(timer, &QTimer::timeout, this, &AppState::pollTunnel);
    timer->start();
    m_pollTimer = timer;
}

void AppState::startAccountRefresh() {
    if (m_accountRefreshTimer)
        delete m_accountRefreshTimer;
    auto* timer = new QTimer(this);
    timer->setInterval(m_deps.accountRefreshInterval);
    QObject::connect(timer, &QTimer::timeout, this, [this] {
        if (!m_isLoggedIn)
            return;
        if (const auto token = storedToken())
            refreshAccount(*token);
    });
    timer->start();
    m_accountRefreshTimer = timer;
}

void AppState::activateSystemExtension(SystemExtensionActivator& activator,
                                       SystemExtensionManager& manager, const Bundle& bundle) {
    if (!activator.isExtensionPresent(bundle)) {
        setSystemExtensionNeedsApproval(false);
        return;
    }
    QPointer<AppState> self(this);
    activator.completion = [self](std::optional<QString> error) {
        if (self && !error)
            self->setSystemExtensionNeedsApproval(false);
    };
    activator.onNeedsApproval = [self] {
        if (self)
            self->setSystemExtensionNeedsApproval(true);
    };
    auto request = SystemExtensionRequest::activationRequest(activator.extensionIdentifier());
    request->setDelegate(&activator);
    manager.submitRequest(request);
}

std::optional<QString> AppState::storedToken() {
    const auto stored = m_session.load();
    return stored ? stored->token : std::nullopt;
}

// ---------------------------------------------------------------- sign-in

QCoro::Task<> AppState::requestLoginCode(QString email) {
    const auto alive = m_alive; // the frame must end even when the model goes away
    setAuthErrorMessage(std::nullopt);
    const auto result = co_await m_api->requestOTP(email);
    if (!*alive)
        co_return;
    if (!result)
        setAuthErrorMessage(result.error().description());
}

QCoro::Task<> AppState::verifyLoginCode(QString email, QString code) {
    const auto alive = m_alive; // the frame must end even when the model goes away
    setAuthErrorMessage(std::nullopt);
    const QString uuid = m_session.currentDeviceUUID();
    const auto result = co_await m_api->verifyOTP(email, code, uuid, m_deviceName, m_platform);
    if (!*alive)
        co_return;
    if (result)
        applyLoginResult(*result);
    else if (result.error().kind() == APIError::Kind::deviceLimitReached)
        setPendingDeviceLimit(result.error().deviceLimit());
    else
        setAuthErrorMessage(result.error().description());
}

QCoro::Task<> AppState::replaceDevice(QString oldDeviceUUID) {
    if (!m_pendingDeviceLimit)
        co_return;
    const auto alive = m_alive; // the frame must end even when the model goes away
    setAuthErrorMessage(std::nullopt);
    const QString replaceToken = m_pendingDeviceLimit->replaceToken;
    const auto result = co_await m_api->replaceOldDevice(replaceToken, oldDeviceUUID);
    if (!*alive)
        co_return;
    if (!result) {
        setAuthErrorMessage(result.error().description());
        co_return;
    }
    setPendingDeviceLimit(std::nullopt);
    applyLoginResult(*result);
}

SessionState AppState::storedOrNewSession() {
    if (auto stored = m_session.load())
        return *stored;
    return {SessionStore::newDeviceUUID(), std::nullopt, std::nullopt};
}

void AppState::applyLoginResult(const LoginResult& result) {
    setSessionRevokedMessage(std::nullopt);
    SessionState withToken = storedOrNewSession();
    withToken.token = result.token;
    m_session.save(withToken);
    SessionState withEmail = storedOrNewSession();
    withEmail.email = result.email;
    m_session.save(withEmail);
    setEmail(result.email);
    setSubscriptionStatus(result.status);
    setExpiresAt(InternetDateTime::parse(result.expiresAt));
    setDevices(result.devices);
    setConfigs(result.configs);
    setIsLoggedIn(true);
    resetLoginForm();
}

void AppState::resetLoginForm() {
    setLoginEmail(QString());
    setLoginCode(QString());
    setLoginStage(LoginStage::email);
    setLoginIsLoading(false);
    setOtpCooldownEndsAt(std::nullopt);
}

void AppState::setConfigs(const QList<DeviceConfig>& configs) {
    // Rebuilt whole; with a region listed twice the later entry wins.
    QMap<QString, DeviceConfig> map;
    for (const auto& config : configs)
        map.insert(config.region, config);
    m_configsByRegion = std::move(map);
}

// ---------------------------------------------------------------- account

QCoro::Task<> AppState::refreshAccount(QString token) {
    const auto alive = m_alive; // the frame must end even when the model goes away
    const auto result = co_await m_api->fetchMe(token);
    if (!*alive)
        co_return;
    if (!result) {
        if (result.error().kind() == APIError::Kind::unauthorized)
            handleSessionRevoked();
        co_return; // other failures: the next tick tries again
    }
    const bool wasActive = m_subscriptionStatus == u"active";
    setSubscriptionStatus(result->status);
    setExpiresAt(InternetDateTime::parse(result->expiresAt));
    setDevices(result->devices);
    setConfigs(result->configs);
    if (wasActive && result->status != u"active" && tunnelIsUp()) {
        disconnect();
        setVpnErrorMessage(Localization::shared().text(T::subscriptionInactiveDisconnected));
    }
}

QCoro::Task<> AppState::revokeDevice(QString deviceUUID) {
    const auto token = storedToken();
    if (!token)
        co_return;
    const auto alive = m_alive; // the frame must end even when the model goes away
    setAuthErrorMessage(std::nullopt);
    const auto result = co_await m_api->deleteDevice(deviceUUID, *token);
    if (!*alive)
        co_return;
    if (!result) {
        setAuthErrorMessage(result.error().description());
        co_return;
    }
    if (m_session.currentDeviceUUID() == deviceUUID)
        handleSessionRevoked();
    else
        co_await refreshAccount(*token);
}

void AppState::signOut() {
    if (const auto token = storedToken()) {
        // In the background; its outcome does not matter to the local sign-out.
        [](APIClient& api, QString t) -> QCoro::Task<> { co_await api.logout(t); }(*m_api, *token);
    }
    leaveSession();
}

void AppState::handleSessionRevoked() {
    leaveSession();
    setSessionRevokedMessage(Localization::shared().text(T::deviceDisconnected));
}

// Signing out and being signed out end the same way: no tunnel, no profile, no account.
void AppState::leaveSession() {
    if (tunnelIsUp())
        disconnect();
    if (auto first = firstTunnel())
        m_tunnelsManager->remove(first, [](auto) {});
    clearSignedInState();
}

void AppState::clearSignedInState() {
    const auto stored = m_session.load();
    const QString uuid = stored ? stored->deviceUUID : SessionStore::newDeviceUUID();
    m_session.save({uuid, std::nullopt, std::nullopt});
    setIsLoggedIn(false);
    setEmail(QString());
    setSubscriptionStatus(QString());
    setExpiresAt(std::nullopt);
    setDevices({});
    m_configsByRegion.clear();
    resetLoginForm();
}

void AppState::refreshAccountFromStore() {
    if (!m_isLoggedIn)
        return;
    if (const auto token = storedToken())
        refreshAccount(*token);
}

void AppState::revokeDeviceLater(const QString& deviceUUID) {
    revokeDevice(deviceUUID);
}
void AppState::replaceDeviceLater(const QString& deviceUUID) {
    replaceDevice(deviceUUID);
}

// ---------------------------------------------------------------- connection

QString AppState::tunnelName(Region region) {
    return QStringLiteral("Veloxa — ") +
           (region == Region::ru ? QStringLiteral("Russia") : QStringLiteral("Germany"));
}

std::optional<AppState::Region> AppState::regionForTunnelName(const QString& name) {
    const QString prefix = QStringLiteral("Veloxa — ");
    if (!name.startsWith(prefix))
        return std::nullopt;
    const QString rest = name.mid(prefix.size());
    for (Region region : {Region::de, Region::ru})
        if (tunnelName(region).mid(prefix.size()) == rest)
            return region;
    return std::nullopt;
}

SingboxTunnelsManager::Container AppState::firstTunnel() const {
    if (!m_tunnelsManager || m_tunnelsManager->tunnels().isEmpty())
        return nullptr;
    return m_tunnelsManager->tunnels().first();
}

void AppState::connect() {
    setVpnErrorMessage(std::nullopt);
    if (!m_isLoggedIn)
        return;
    if (m_subscriptionStatus != u"active") {
        setVpnErrorMessage(Localization::shared().text(T::subscriptionInactiveCheckAccount));
        return;
    }
    const auto it = m_configsByRegion.constFind(rawValue(m_selectedRegion));
    if (it == m_configsByRegion.cend()) {
        setVpnErrorMessage(Localization::shared().text(T::noConfigForRegion));
        return;
    }
    if (!m_tunnelsManager)
        return;
    const DeviceConfig config = *it;
    const SingboxTunnelConfiguration tunnel{tunnelName(m_selectedRegion), config.config};
    QPointer<AppState> self(this);
    if (auto first = firstTunnel()) {
        m_tunnelsManager->modify(first, tunnel, [self, config](auto error) {
            if (!self)
                return;
            if (error)
                self->setVpnErrorMessage(message(*error));
            else
                self->beginTunnelSession(config);
        });
    } else {
        m_tunnelsManager->add(tunnel, [self, config](auto added) {
            if (!self)
                return;
            if (!added)
                self->setVpnErrorMessage(message(added.error()));
            else
                self->beginTunnelSession(config);
        });
    }
}

void AppState::beginTunnelSession(const DeviceConfig& config) {
    const auto first = firstTunnel();
    if (!first)
        return;
    setConnectedRegionLabel(config.regionLabel);
    setSessionStartedAt(QDateTime::currentDateTimeUtc());
    setSessionRxBytes(0);
    setSessionTxBytes(0);
    setPublicIP(std::nullopt);
    m_ipLookup->newSession();
    QPointer<AppState> self(this);
    m_tunnelsManager->startActivation(first, [self](std::optional<QString> error) {
        if (self && error)
            self->setVpnErrorMessage(*error);
    });
}

void AppState::disconnect() {
    if (auto first = firstTunnel())
        first->stopActivation();
}

void AppState::toggleConnection() {
    if (m_tunnelStatus == TunnelStatus::active)
        disconnect();
    else
        connect();
}

void AppState::refreshTunnelStatus() {
    const auto first = firstTunnel();
    setTunnelStatus(first ? first->status() : TunnelStatus::inactive);
}

void AppState::pollTunnel() {
    refreshTunnelStatus();
    if (m_tunnelStatus != TunnelStatus::active) {
        if (m_previousStatus == TunnelStatus::active) {
            setSessionStartedAt(std::nullopt);
            setSessionRxBytes(0);
            setSessionTxBytes(0);
            setPublicIP(std::nullopt);
            setConnectedRegionLabel(std::nullopt);
            m_ipLookup->newSession();
        }
        m_previousStatus = m_tunnelStatus;
        return;
    }
    const auto first = firstTunnel();
    if (!first) {
        m_previousStatus = m_tunnelStatus;
        return;
    }
    if (m_previousStatus != TunnelStatus::active) {
        m_ipLookup->newSession(); // what the echo said before the tunnel came up is not its address
        QString name = first->tunnelProvider()->localizedDescription;
        if (name.isEmpty())
            name = QStringLiteral("Unnamed");
        const Region region = regionForTunnelName(name).value_or(m_selectedRegion);
        setSelectedRegion(region);
        if (!m_sessionStartedAt)
            setSessionStartedAt(QDateTime::currentDateTimeUtc());
        if (!m_connectedRegionLabel) {
            const auto it = m_configsByRegion.constFind(rawValue(region));
            setConnectedRegionLabel(it != m_configsByRegion.cend()
                                        ? it->regionLabel
                                        : Localization::shared().regionName(rawValue(region)));
        }
    }
    m_previousStatus = m_tunnelStatus;
    if (first->status() != TunnelStatus::inactive) {
        QPointer<AppState> self(this);
        first->getRuntimeTunnelConfiguration([self](std::optional<SingboxRuntimeStats> stats) {
            if (!self || !stats)
                return;
            self->setSessionRxBytes(stats->rxBytes);
            self->setSessionTxBytes(stats->txBytes);
        });
    }
    if (!m_publicIP)
        m_ipLookup->ask();
}

} // namespace veloxa
