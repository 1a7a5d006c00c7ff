#pragma once

#include "AccountSession.h"
#include "DeviceListModel.h"
#include "ModelEnums.h"
#include "SignInFlow.h"
#include "VpnConnection.h"

#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <memory>

namespace veloxa {

class APIClient;
class Bundle;
class SystemExtensionActivator;
class SystemExtensionManager;

// The one application model the window, the tray item and the delegate see: its fields and
// operations under their own names, each kept by one of its parts (sign-in, account,
// connection). It keeps only the tab, the approval flag and what the views are shown.
// Lives on the main thread; views read its properties and call its operations, and
// redraw on its change signals.
class AppState : public veloxa::ModelEnums {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The model is made by the application")

    // clang-format off
    Q_PROPERTY(RootTab selectedRootTab READ selectedRootTab WRITE setSelectedRootTab NOTIFY selectedRootTabChanged)
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn NOTIFY isLoggedInChanged)
    Q_PROPERTY(QString email READ email NOTIFY emailChanged)
    Q_PROPERTY(QString subscriptionStatus READ subscriptionStatus NOTIFY subscriptionStatusChanged)
    Q_PROPERTY(QVariant expiresAt READ expiresAtValue NOTIFY expiresAtChanged)
    Q_PROPERTY(QVariantList devices READ devicesValue NOTIFY devicesChanged)
    Q_PROPERTY(QVariant pendingDeviceLimit READ pendingDeviceLimitValue WRITE setPendingDeviceLimitValue NOTIFY pendingDeviceLimitChanged)
    Q_PROPERTY(QVariant authErrorMessage READ authErrorMessageValue WRITE setAuthErrorMessageValue NOTIFY authErrorMessageChanged)
    Q_PROPERTY(QVariant sessionRevokedMessage READ sessionRevokedMessageValue NOTIFY sessionRevokedMessageChanged)
    Q_PROPERTY(QString loginEmail READ loginEmail WRITE setLoginEmail NOTIFY loginEmailChanged)
    Q_PROPERTY(QString loginCode READ loginCode WRITE setLoginCode NOTIFY loginCodeChanged)
    Q_PROPERTY(LoginStage loginStage READ loginStage WRITE setLoginStage NOTIFY loginStageChanged)
    Q_PROPERTY(bool loginIsLoading READ loginIsLoading WRITE setLoginIsLoading NOTIFY loginIsLoadingChanged)
    Q_PROPERTY(QVariant otpCooldownEndsAt READ otpCooldownEndsAtValue WRITE setOtpCooldownEndsAtValue NOTIFY otpCooldownEndsAtChanged)
    Q_PROPERTY(Region selectedRegion READ selectedRegion WRITE setSelectedRegion NOTIFY selectedRegionChanged)
    Q_PROPERTY(veloxa::TunnelStatus tunnelStatus READ tunnelStatus NOTIFY tunnelStatusChanged)
    Q_PROPERTY(QVariant sessionStartedAt READ sessionStartedAtValue NOTIFY sessionStartedAtChanged)
    Q_PROPERTY(quint64 sessionRxBytes READ sessionRxBytes NOTIFY sessionRxBytesChanged)
    Q_PROPERTY(quint64 sessionTxBytes READ sessionTxBytes NOTIFY sessionTxBytesChanged)
    Q_PROPERTY(QVariant publicIP READ publicIPValue NOTIFY publicIPChanged)
    Q_PROPERTY(QVariant connectedRegionLabel READ connectedRegionLabelValue NOTIFY connectedRegionLabelChanged)
    Q_PROPERTY(QVariant vpnErrorMessage READ vpnErrorMessageValue NOTIFY vpnErrorMessageChanged)
    Q_PROPERTY(bool systemExtensionNeedsApproval READ systemExtensionNeedsApproval NOTIFY systemExtensionNeedsApprovalChanged)
    Q_PROPERTY(bool canConnect READ canConnect NOTIFY canConnectChanged)
    // What the views show, decided here rather than in QML.
    Q_PROPERTY(bool subscriptionIsActive READ subscriptionIsActive NOTIFY canConnectChanged)
    Q_PROPERTY(AccountScreen accountScreen READ accountScreen NOTIFY accountScreenChanged)
    Q_PROPERTY(QString receivedText READ receivedText NOTIFY trafficTextChanged)
    Q_PROPERTY(QString sentText READ sentText NOTIFY trafficTextChanged)
    Q_PROPERTY(veloxa::DeviceListModel* deviceList READ deviceList CONSTANT)
    Q_PROPERTY(veloxa::DeviceListModel* replaceableDevices READ replaceableDevices CONSTANT)
    // clang-format on

public:
    struct Dependencies {
        std::shared_ptr<SecureItemStore> secureItems;
        QUrl serviceBaseURL;
        QUrl ipEchoURL;
        QString deviceName; // "<name> — <system>"
        // The IP echo answers at once or not at all; the next tick asks again.
        std::chrono::milliseconds ipEchoTimeout{std::chrono::seconds(4)};
        std::chrono::milliseconds accountRefreshInterval{std::chrono::seconds(60)};
        std::chrono::milliseconds pollInterval{std::chrono::seconds(1)};
        // The production values: the platform's secure store, the build's URLs, this
        // computer's name.
        static Dependencies production();
        // No service, no echo, a store in memory: previews, the self-test and tests.
        static Dependencies offline();
    };

    explicit AppState(const Dependencies& dependencies, QObject* parent = nullptr);
    ~AppState() override;

    // The parts, for the delegate, previews and tests.
    SignInFlow& signInFlow() { return *m_signIn; }
    AccountSession& account() { return *m_account; }
    VpnConnection& connection() { return *m_connection; }

    // --- observable fields
    RootTab selectedRootTab() const { return m_selectedRootTab; }
    void setSelectedRootTab(RootTab tab);
    bool isLoggedIn() const { return m_account->isLoggedIn(); }
    const QString& email() const { return m_account->email(); }
    const QString& subscriptionStatus() const { return m_account->subscriptionStatus(); }
    const std::optional<QDateTime>& expiresAt() const { return m_account->expiresAt(); }
    const QList<DeviceSummary>& devices() const { return m_account->devices(); }
    const std::optional<DeviceLimitResult>& pendingDeviceLimit() const {
        return m_signIn->pendingDeviceLimit();
    }
    void setPendingDeviceLimit(std::optional<DeviceLimitResult> v) {
        m_signIn->setPendingDeviceLimit(std::move(v));
    }
    const std::optional<QString>& authErrorMessage() const { return m_signIn->authErrorMessage(); }
    void setAuthErrorMessage(std::optional<QString> v) {
        m_signIn->setAuthErrorMessage(std::move(v));
    }
    const std::optional<QString>& sessionRevokedMessage() const {
        return m_account->sessionRevokedMessage();
    }
    const QString& loginEmail() const { return m_signIn->loginEmail(); }
    void setLoginEmail(const QString& v) { m_signIn->setLoginEmail(v); }
    const QString& loginCode() const { return m_signIn->loginCode(); }
    void setLoginCode(const QString& v) { m_signIn->setLoginCode(v); }
    LoginStage loginStage() const { return m_signIn->loginStage(); }
    void setLoginStage(LoginStage v) { m_signIn->setLoginStage(v); }
    bool loginIsLoading() const { return m_signIn->loginIsLoading(); }
    void setLoginIsLoading(bool v) { m_signIn->setLoginIsLoading(v); }
    const std::optional<QDateTime>& otpCooldownEndsAt() const {
        return m_signIn->otpCooldownEndsAt();
    }
    void setOtpCooldownEndsAt(std::optional<QDateTime> v) {
        m_signIn->setOtpCooldownEndsAt(std::move(v));
    }
    Region selectedRegion() const { return m_connection->selectedRegion(); }
    void setSelectedRegion(Region v) { m_connection->setSelectedRegion(v); }
    TunnelStatus tunnelStatus() const { return m_connection->tunnelStatus(); }
    const std::optional<QDateTime>& sessionStartedAt() const {
        return m_connection->sessionStartedAt();
    }
    quint64 sessionRxBytes() const { return m_connection->sessionRxBytes(); }
    quint64 sessionTxBytes() const { return m_connection->sessionTxBytes(); }
    const std::optional<QString>& publicIP() const { return m_connection->publicIP(); }
    const std::optional<QString>& connectedRegionLabel() const {
        return m_connection->connectedRegionLabel();
    }
    const std::optional<QString>& vpnErrorMessage() const {
        return m_connection->vpnErrorMessage();
    }
    bool systemExtensionNeedsApproval() const { return m_systemExtensionNeedsApproval; }
    void setSystemExtensionNeedsApproval(bool value);
    bool canConnect() const { return isLoggedIn() && subscriptionIsActive(); }
    bool subscriptionIsActive() const { return m_account->subscriptionIsActive(); }

    // --- plain fields
    SessionStore& session() { return m_account->session(); }
    const QMap<QString, DeviceConfig>& configsByRegion() const {
        return m_account->configsByRegion();
    }
    const std::shared_ptr<SingboxTunnelsManager>& tunnelsManager() const {
        return m_connection->tunnelsManager();
    }
    void setTunnelsManager(std::shared_ptr<SingboxTunnelsManager> m) {
        m_connection->setTunnelsManager(std::move(m));
    }
    QTimer* pollTimer() const { return m_connection->pollTimer(); }
    QTimer* accountRefreshTimer() const { return m_account->refreshTimer(); }
    const QString& platform() const { return m_signIn->platform(); }

    // --- operations
    QCoro::Task<> requestLoginCode(QString email) { return m_signIn->requestLoginCode(email); }
    QCoro::Task<> verifyLoginCode(QString email, QString code) {
        return m_signIn->verifyLoginCode(email, code);
    }
    QCoro::Task<> replaceDevice(QString uuid) { return m_signIn->replaceDevice(uuid); }
    // A verified sign-in: the account from its answer, the form emptied.
    void applyLoginResult(const LoginResult& result);
    QCoro::Task<> refreshAccount(QString token) { return m_account->refreshAccount(token); }
    QCoro::Task<> revokeDevice(QString uuid) { return m_account->revokeDevice(uuid); }
    Q_INVOKABLE void signOut() { m_account->signOut(); }
    Q_INVOKABLE void connect() { m_connection->connect(); }
    Q_INVOKABLE void disconnect() { m_connection->disconnect(); }
    Q_INVOKABLE void toggleConnection() { m_connection->toggleConnection(); }
    void refreshTunnelStatus() { m_connection->refreshTunnelStatus(); }
    void pollTunnel() { m_connection->pollTunnel(); }
    void startStatusPolling() { m_connection->startStatusPolling(); }
    void startAccountRefresh() { m_account->startRefresh(); }

    // Launch step: submit the tunnel extension's activation when the bundle carries it;
    // its callbacks drive systemExtensionNeedsApproval. Without it the flag is false.
    void activateSystemExtension(SystemExtensionActivator& activator,
                                 SystemExtensionManager& manager, const Bundle& bundle);

    // QML-side starters of the asynchronous operations.
    Q_INVOKABLE void refreshAccountFromStore() { m_account->refreshFromStore(); }
    Q_INVOKABLE void revokeDeviceLater(const QString& uuid) { revokeDevice(uuid); }
    Q_INVOKABLE void replaceDeviceLater(const QString& uuid) { replaceDevice(uuid); }
    AccountScreen accountScreen() const;
    // Byte counts formatted here: they exceed what a QML number holds exactly.
    QString receivedText() const;
    QString sentText() const;
    DeviceListModel* deviceList() const { return m_deviceList; }
    DeviceListModel* replaceableDevices() const { return m_replaceable; }

    Q_INVOKABLE QString currentDeviceUUID() { return session().currentDeviceUUID(); }
    // The approval banner's button: the application delegate runs the platform's step.
    Q_INVOKABLE void approveSystemExtension() { emit systemExtensionApprovalRequested(); }

    // QML views of optional fields: null when absent.
    QVariant expiresAtValue() const;
    QVariantList devicesValue() const;
    QVariant pendingDeviceLimitValue() const;
    void setPendingDeviceLimitValue(const QVariant& value);
    QVariant authErrorMessageValue() const;
    void setAuthErrorMessageValue(const QVariant& value);
    QVariant sessionRevokedMessageValue() const;
    QVariant otpCooldownEndsAtValue() const;
    void setOtpCooldownEndsAtValue(const QVariant& value);
    QVariant sessionStartedAtValue() const;
    QVariant publicIPValue() const;
    QVariant connectedRegionLabelValue() const;
    QVariant vpnErrorMessageValue() const;

signals:
    void selectedRootTabChanged();
    void isLoggedInChanged();
    void emailChanged();
    void subscriptionStatusChanged();
    void expiresAtChanged();
    void devicesChanged();
    void pendingDeviceLimitChanged();
    void authErrorMessageChanged();
    void sessionRevokedMessageChanged();
    void loginEmailChanged();
    void loginCodeChanged();
    void loginStageChanged();
    void loginIsLoadingChanged();
    void otpCooldownEndsAtChanged();
    void selectedRegionChanged();
    void tunnelStatusChanged();
    void sessionStartedAtChanged();
    void sessionRxBytesChanged();
    void sessionTxBytesChanged();
    void publicIPChanged();
    void connectedRegionLabelChanged();
    void vpnErrorMessageChanged();
    void systemExtensionNeedsApprovalChanged();
    void systemExtensionApprovalRequested();
    void accountScreenChanged();
    void trafficTextChanged();
    void canConnectChanged();

private:
    void wireParts();

    RootTab m_selectedRootTab = RootTab::Vpn;
    bool m_systemExtensionNeedsApproval = false;
    std::unique_ptr<APIClient> m_api;
    // Children owned here and declared after the client: they go first (before the QObject
    // parent would), so no answer reaches a part being destroyed.
    std::unique_ptr<AccountSession> m_account;
    std::unique_ptr<SignInFlow> m_signIn;
    std::unique_ptr<VpnConnection> m_connection;
    DeviceListModel* m_deviceList;
    DeviceListModel* m_replaceable;
};

} // namespace veloxa
