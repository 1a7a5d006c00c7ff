#include "AppState.h"

#include "BuildConfig.h"
#include "DeviceIdentity.h"
#include "FieldChange.h"
#include "api/APIClient.h"
#include "platform/MemorySecureItemStore.h"
#include "platform/PlatformServices.h"
#include "platform/sysext/SystemExtensionManager.h"
#include "tunnel/SystemExtensionActivator.h"
#include "ui/ViewFormat.h"

namespace veloxa {

namespace {
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

AppState::Dependencies AppState::Dependencies::offline() {
    Dependencies d;
    d.secureItems = std::make_shared<MemorySecureItemStore>();
    d.serviceBaseURL = QUrl(QStringLiteral("http://127.0.0.1:9")); // the discard port
    d.deviceName = QStringLiteral("Preview — Linux");
    return d;
}

AppState::AppState(const Dependencies& dependencies, QObject* parent)
    : ModelEnums(parent), m_api(std::make_unique<APIClient>(dependencies.serviceBaseURL)),
      m_account(std::make_unique<AccountSession>(*m_api, dependencies.secureItems,
                                                 dependencies.accountRefreshInterval, this)),
      m_signIn(std::make_unique<SignInFlow>(*m_api, m_account->session(), dependencies.deviceName,
                                            DeviceIdentity::platform(), this)),
      m_connection(std::make_unique<VpnConnection>(*m_account, dependencies.ipEchoURL,
                                                   dependencies.ipEchoTimeout,
                                                   dependencies.pollInterval, this)),
      m_deviceList(new DeviceListModel(true, this)),
      m_replaceable(new DeviceListModel(false, this)) {
    wireParts();
    m_account->restore();
    m_account->startRefresh();
}

AppState::~AppState() {
    // The parts go before the client, whose requests in flight end as failures that no
    // part is left to apply.
    m_connection.reset();
    m_signIn.reset();
    m_account.reset();
    m_api->abortAll();
}

void AppState::wireParts() {
    using A = AccountSession;
    using S = SignInFlow;
    using C = VpnConnection;
    // The parts' change signals are the model's.
    const auto relay = [this](auto* part, auto partSignal, auto modelSignal) {
        QObject::connect(part, partSignal, this, modelSignal);
    };
    A* a = m_account.get();
    relay(a, &A::isLoggedInChanged, &AppState::isLoggedInChanged);
    relay(a, &A::isLoggedInChanged, &AppState::canConnectChanged);
    relay(a, &A::isLoggedInChanged, &AppState::accountScreenChanged);
    relay(a, &A::emailChanged, &AppState::emailChanged);
    relay(a, &A::subscriptionStatusChanged, &AppState::subscriptionStatusChanged);
    relay(a, &A::subscriptionStatusChanged, &AppState::canConnectChanged);
    relay(a, &A::expiresAtChanged, &AppState::expiresAtChanged);
    relay(a, &A::sessionRevokedMessageChanged, &AppState::sessionRevokedMessageChanged);
    S* s = m_signIn.get();
    relay(s, &S::pendingDeviceLimitChanged, &AppState::pendingDeviceLimitChanged);
    relay(s, &S::pendingDeviceLimitChanged, &AppState::accountScreenChanged);
    relay(s, &S::authErrorMessageChanged, &AppState::authErrorMessageChanged);
    relay(s, &S::loginEmailChanged, &AppState::loginEmailChanged);
    relay(s, &S::loginCodeChanged, &AppState::loginCodeChanged);
    relay(s, &S::loginStageChanged, &AppState::loginStageChanged);
    relay(s, &S::loginIsLoadingChanged, &AppState::loginIsLoadingChanged);
    relay(s, &S::otpCooldownEndsAtChanged, &AppState::otpCooldownEndsAtChanged);
    C* c = m_connection.get();
    relay(c, &C::selectedRegionChanged, &AppState::selectedRegionChanged);
    relay(c, &C::tunnelStatusChanged, &AppState::tunnelStatusChanged);
    relay(c, &C::tunnelStatusChanged, &AppState::trafficTextChanged);
    relay(c, &C::sessionStartedAtChanged, &AppState::sessionStartedAtChanged);
    relay(c, &C::sessionRxBytesChanged, &AppState::sessionRxBytesChanged);
    relay(c, &C::sessionRxBytesChanged, &AppState::trafficTextChanged);
    relay(c, &C::sessionTxBytesChanged, &AppState::sessionTxBytesChanged);
    relay(c, &C::sessionTxBytesChanged, &AppState::trafficTextChanged);
    relay(c, &C::publicIPChanged, &AppState::publicIPChanged);
    relay(c, &C::connectedRegionLabelChanged, &AppState::connectedRegionLabelChanged);
    relay(c, &C::vpnErrorMessageChanged, &AppState::vpnErrorMessageChanged);

    // How the parts meet: a sign-in starts the account and empties the form; a session's
    // end stops the tunnel, clears the account, then empties the form; a lapsed
    // subscription stops the tunnel; account errors show where sign-in errors do.
    QObject::connect(s, &S::signedIn, this, &AppState::applyLoginResult);
    QObject::connect(a, &A::leaving, c, &C::endSession);
    QObject::connect(a, &A::signedInStateCleared, s, &S::resetLoginForm);
    QObject::connect(a, &A::subscriptionLapsed, c, &C::stopForLapsedSubscription);
    QObject::connect(a, &A::errorReported, s, &S::setAuthErrorMessage);
    QObject::connect(a, &A::devicesChanged, this, [this] {
        const auto& devices = m_account->devices();
        m_deviceList->setDevices(devices, devices.isEmpty() ? QString() : currentDeviceUUID());
        emit devicesChanged();
    });
    QObject::connect(s, &S::pendingDeviceLimitChanged, this, [this] {
        const auto& limit = m_signIn->pendingDeviceLimit();
        m_replaceable->setDevices(limit ? limit->devices : QList<DeviceSummary>{}, {});
    });
}

void AppState::applyLoginResult(const LoginResult& result) {
    m_account->applyLoginResult(result);
    m_signIn->resetLoginForm();
}

void AppState::setSelectedRootTab(RootTab tab) {
    setField(this, m_selectedRootTab, tab, &AppState::selectedRootTabChanged);
}
void AppState::setSystemExtensionNeedsApproval(bool value) {
    setField(this, m_systemExtensionNeedsApproval, value,
             &AppState::systemExtensionNeedsApprovalChanged);
}

AppState::AccountScreen AppState::accountScreen() const {
    if (pendingDeviceLimit())
        return AccountScreen::Chooser;
    return isLoggedIn() ? AccountScreen::Account : AccountScreen::SignIn;
}

QString AppState::receivedText() const {
    return ViewFormat::traffic(m_connection->sessionIsShown(), sessionRxBytes());
}

QString AppState::sentText() const {
    return ViewFormat::traffic(m_connection->sessionIsShown(), sessionTxBytes());
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

// ---------------------------------------------------------------- QML adapters

QVariant AppState::expiresAtValue() const {
    return optionalValue(expiresAt());
}
QVariantList AppState::devicesValue() const {
    QVariantList out;
    for (const auto& d : devices())
        out << QVariant::fromValue(d);
    return out;
}
QVariant AppState::pendingDeviceLimitValue() const {
    return optionalValue(pendingDeviceLimit());
}
void AppState::setPendingDeviceLimitValue(const QVariant& value) {
    // Views only ever dismiss the chooser; a limit comes from the service.
    if (value.isNull() || !value.isValid())
        setPendingDeviceLimit(std::nullopt);
    else if (value.canConvert<DeviceLimitResult>())
        setPendingDeviceLimit(value.value<DeviceLimitResult>());
}
QVariant AppState::authErrorMessageValue() const {
    return optionalValue(authErrorMessage());
}
void AppState::setAuthErrorMessageValue(const QVariant& value) {
    setAuthErrorMessage(value.isNull() || !value.isValid()
                            ? std::nullopt
                            : std::optional<QString>(value.toString()));
}
QVariant AppState::sessionRevokedMessageValue() const {
    return optionalValue(sessionRevokedMessage());
}
QVariant AppState::otpCooldownEndsAtValue() const {
    return optionalValue(otpCooldownEndsAt());
}
void AppState::setOtpCooldownEndsAtValue(const QVariant& value) {
    const QDateTime date = value.toDateTime();
    setOtpCooldownEndsAt(value.isNull() || !date.isValid() ? std::nullopt
                                                           : std::optional<QDateTime>(date));
}
QVariant AppState::sessionStartedAtValue() const {
    return optionalValue(sessionStartedAt());
}
QVariant AppState::publicIPValue() const {
    return optionalValue(publicIP());
}
QVariant AppState::connectedRegionLabelValue() const {
    return optionalValue(connectedRegionLabel());
}
QVariant AppState::vpnErrorMessageValue() const {
    return optionalValue(vpnErrorMessage());
}

} // namespace veloxa
