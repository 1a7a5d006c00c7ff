#pragma once

#include "api/APIClient.h"
#include "session/SessionStore.h"
#include "tunnel/SingboxTunnelsManager.h"
#include "tunnel/TunnelStatus.h"

#include "DeviceListModel.h"
#include <QDateTime>
#include <QMap>

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariant>

#include <chrono>
#include <memory>

namespace veloxa {

class PublicIPLookup;
class SystemExtensionActivator;
class SystemExtensionManager;

// The one application model: everything the window and the tray item show, and every
// operation they call. Lives on the main thread; views read its properties and call its
// operations, and redraw on its change signals.
class AppState : public QObject {
    Q_OBJECT
    friend class ModelPreview;

public:
    // QML reads enumeration keys only when they start with a capital: each case has a
    // capitalised alias for the views.
    enum class RootTab { vpn, user, about, Vpn = vpn, User = user, About = about };
    Q_ENUM(RootTab)
    enum class LoginStage { email, code, Email = email, Code = code };
    Q_ENUM(LoginStage)
    enum class Region { de, ru, De = de, Ru = ru };
    Q_ENUM(Region)
    // Which screen the account tab shows.
    enum class AccountScreen {
        chooser,
        account,
        signIn,
        Chooser = chooser,
        Account = account,
        SignIn = signIn
    };
    Q_ENUM(AccountScreen)

private:
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
        // The production values: libsecret, the build's URLs, this computer's name.
        static Dependencies production();
    };

    explicit AppState(Dependencies dependencies, QObject* parent = nullptr);
    ~AppState() override;

    static QString tunnelName(Region region);
    static QString rawValue(Region region) {
        return region == Region::ru ? QStringLiteral("ru") : QStringLiteral("de");
    }
    // The region whose profile name this is ("Veloxa — Germany"), if any.
    static std::optional<Region> regionForTunnelName(const QString& name);

    // --- observable fields
    RootTab selectedRootTab() const { return m_selectedRootTab; }
    void setSelectedRootTab(RootTab tab);
    bool isLoggedIn() const { return m_isLoggedIn; }
    const QString& email() const { return m_email; }
    const QString& subscriptionStatus() const { return m_subscriptionStatus; }
    const std::optional<QDateTime>& expiresAt() const { return m_expiresAt; }
    const QList<DeviceSummary>& devices() const { return m_devices; }
    const std::optional<DeviceLimitResult>& pendingDeviceLimit() const {
        return m_pendingDeviceLimit;
    }
    void setPendingDeviceLimit(std::optional<DeviceLimitResult> value);
    const std::optional<QString>& authErrorMessage() const { return m_authErrorMessage; }
    void setAuthErrorMessage(std::optional<QString> value);
    const std::optional<QString>& sessionRevokedMessage() const { return m_sessionRevokedMessage; }
    const QString& loginEmail() const { return m_loginEmail; }
    void setLoginEmail(const QString& value);
    const QString& loginCode() const { return m_loginCode; }
    void setLoginCode(const QString& value);
    LoginStage loginStage() const { return m_loginStage; }
    void setLoginStage(LoginStage value);
    bool loginIsLoading() const { return m_loginIsLoading; }
    void setLoginIsLoading(bool value);
    const std::optional<QDateTime>& otpCooldownEndsAt() const { return m_otpCooldownEndsAt; }
    void setOtpCooldownEndsAt(std::optional<QDateTime> value);
    Region selectedRegion() const { return m_selectedRegion; }
    void setSelectedRegion(Region value);
    TunnelStatus tunnelStatus() const { return m_tunnelStatus; }
    const std::optional<QDateTime>& sessionStartedAt() const { return m_sessionStartedAt; }
    quint64 sessionRxBytes() const { return m_sessionRxBytes; }
    quint64 sessionTxBytes() const { return m_sessionTxBytes; }
    const std::optional<QString>& publicIP() const { return m_publicIP; }
    const std::optional<QString>& connectedRegionLabel() const { return m_connectedRegionLabel; }
    const std::optional<QString>& vpnErrorMessage() const { return m_vpnErrorMessage; }
    bool systemExtensionNeedsApproval() const { return m_systemExtensionNeedsApproval; }
    void setSystemExtensionNeedsApproval(bool value);
    bool canConnect() const { return m_isLoggedIn && m_subscriptionStatus == u"active"; }
    // Connected or on the way there: what signing out and a lapsed subscription stop.
    bool tunnelIsUp() const {
        return m_tunnelStatus == TunnelStatus::active || m_tunnelStatus == TunnelStatus::activating;
    }

    // --- plain fields
    SessionStore& session() { return m_session; }
    const QMap<QString, DeviceConfig>& configsByRegion() const { return m_configsByRegion; }
    const SingboxTunnelsManager::Pointer& tunnelsManager() const { return m_tunnelsManager; }
    void setTunnelsManager(SingboxTunnelsManager::Pointer manager) {
        m_tunnelsManager = std::move(manager);
    }
    QTimer* pollTimer() const { return m_pollTimer; }
    QTimer* accountRefreshTimer() const { return m_accountRefreshTimer; }
    const QString& platform() const { return m_platform; }
    const QString& deviceName() const { return m_deviceName; }

    // --- sign-in
    QCoro::Task<> requestLoginCode(QString email);
    QCoro::Task<> verifyLoginCode(QString email, QString code);
    QCoro::Task<> replaceDevice(QString oldDeviceUUID);
    void applyLoginResult(const LoginResult& result);

    // --- account
    QCoro::Task<> refreshAccount(QString token);
    QCoro::Task<> revokeDevice(QString deviceUUID);
    Q_INVOKABLE void signOut();

    // --- connection
    Q_INVOKABLE void connect();
    Q_INVOKABLE void disconnect();
    Q_INVOKABLE void toggleConnection();
    void refreshTunnelStatus();
    void pollTunnel();
    void startStatusPolling();
    void startAccountRefresh();

    // Launch step: submit the tunnel extension's activation when the bundle carries it;
    // its callbacks drive systemExtensionNeedsApproval. Without it the flag is false.
    void activateSystemExtension(SystemExtensionActivator& activator,
                                 SystemExtensionManager& manager, const Bundle& bundle);

    // QML-side starters of the asynchronous operations.
    Q_INVOKABLE void refreshAccountFromStore();
    Q_INVOKABLE void revokeDeviceLater(const QString& deviceUUID);
    Q_INVOKABLE void replaceDeviceLater(const QString& deviceUUID);
    bool subscriptionIsActive() const { return m_subscriptionStatus == QLatin1String("active"); }
    AccountScreen accountScreen() const;
    // Byte counts formatted here: they exceed what a QML number holds exactly.
    QString receivedText() const;
    QString sentText() const;
    DeviceListModel* deviceList() const { return m_deviceList; }
    DeviceListModel* replaceableDevices() const { return m_replaceable; }

    Q_INVOKABLE QString currentDeviceUUID() { return m_session.currentDeviceUUID(); }
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
    void resetLoginForm();
    void clearSignedInState();
    void handleSessionRevoked();
    void leaveSession();
    // The stored token, if any (what refreshes and revocations use).
    std::optional<QString> storedToken();
    void beginTunnelSession(const DeviceConfig& config);
    void setIsLoggedIn(bool value);
    void setEmail(const QString& value);
    void setSubscriptionStatus(const QString& value);
    void setExpiresAt(std::optional<QDateTime> value);
    void setDevices(QList<DeviceSummary> value);
    void setSessionRevokedMessage(std::optional<QString> value);
    void setTunnelStatus(TunnelStatus value);
    void setSessionStartedAt(std::optional<QDateTime> value);
    void setSessionRxBytes(quint64 value);
    void setSessionTxBytes(quint64 value);
    void setPublicIP(std::optional<QString> value);
    void setConnectedRegionLabel(std::optional<QString> value);
    void setVpnErrorMessage(std::optional<QString> value);
    void setConfigs(const QList<DeviceConfig>& configs);
    // A stored session with the given changes; a new device UUID when none is stored.
    SessionState storedOrNewSession();
    SingboxTunnelsManager::Container firstTunnel() const;

    Dependencies m_deps;
    RootTab m_selectedRootTab = RootTab::vpn;
    bool m_isLoggedIn = false;
    QString m_email;
    QString m_subscriptionStatus;
    std::optional<QDateTime> m_expiresAt;
    QList<DeviceSummary> m_devices;
    std::optional<DeviceLimitResult> m_pendingDeviceLimit;
    std::optional<QString> m_authErrorMessage;
    std::optional<QString> m_sessionRevokedMessage;
    QString m_loginEmail;
    QString m_loginCode;
    LoginStage m_loginStage = LoginStage::email;
    bool m_loginIsLoading = false;
    std::optional<QDateTime> m_otpCooldownEndsAt;
    Region m_selectedRegion = Region::de;
    TunnelStatus m_tunnelStatus = TunnelStatus::inactive;
    std::optional<QDateTime> m_sessionStartedAt;
    quint64 m_sessionRxBytes = 0;
    quint64 m_sessionTxBytes = 0;
    std::optional<QString> m_publicIP;
    std::optional<QString> m_connectedRegionLabel;
    std::optional<QString> m_vpnErrorMessage;
    bool m_systemExtensionNeedsApproval = false;

    std::unique_ptr<APIClient> m_api;
    SessionStore m_session;
    SingboxTunnelsManager::Pointer m_tunnelsManager;
    QMap<QString, DeviceConfig> m_configsByRegion;
    QPointer<QTimer> m_pollTimer;
    QPointer<QTimer> m_accountRefreshTimer;
    TunnelStatus m_previousStatus = TunnelStatus::inactive;
    QString m_platform;
    QString m_deviceName;
    PublicIPLookup* m_ipLookup;
    DeviceListModel* m_deviceList;
    DeviceListModel* m_replaceable;
    // Cleared when the model is destroyed; suspended operations check it after each await.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace veloxa
