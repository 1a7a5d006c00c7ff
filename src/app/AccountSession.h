#pragma once

#include "api/DeviceConfig.h"
#include "api/DeviceSummary.h"
#include "session/SessionStore.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

namespace veloxa {

class APIClient;
struct LoginResult;

// The model's account part: the stored session, the account as the service last described
// it, its 60 s refresh, device sign-outs and the two ways a session ends (signing out and
// being signed out), which end the same way.
class AccountSession : public QObject {
    Q_OBJECT
public:
    AccountSession(APIClient& api, std::shared_ptr<SecureItemStore> secureItems,
                   std::chrono::milliseconds refreshInterval, QObject* parent = nullptr);

    bool isLoggedIn() const { return m_isLoggedIn; }
    const QString& email() const { return m_email; }
    const QString& subscriptionStatus() const { return m_subscriptionStatus; }
    // Only the exact word "active" allows connecting.
    bool subscriptionIsActive() const { return m_subscriptionStatus == QLatin1String("active"); }
    const std::optional<QDateTime>& expiresAt() const { return m_expiresAt; }
    const QList<DeviceSummary>& devices() const { return m_devices; }
    const std::optional<QString>& sessionRevokedMessage() const { return m_sessionRevokedMessage; }
    void setSessionRevokedMessage(std::optional<QString> value);
    const QMap<QString, DeviceConfig>& configsByRegion() const { return m_configsByRegion; }
    SessionStore& session() { return m_session; }
    QTimer* refreshTimer() const { return m_refreshTimer; }

    // Signed in with the stored token and e-mail, if both are there; the account's details
    // follow from a refresh.
    void restore();
    void applyLoginResult(const LoginResult& result);
    QCoro::Task<> refreshAccount(QString token);
    // A refresh with the stored token, when signed in.
    void refreshFromStore();
    QCoro::Task<> revokeDevice(QString deviceUUID);
    void signOut();
    void startRefresh();

signals:
    // The session is about to end: whatever depends on it stops first.
    void leaving();
    // The signed-in state is gone (the last step of leaving): the form starts over.
    void signedInStateCleared();
    // A refresh found the subscription no longer active.
    void subscriptionLapsed();
    // An account operation's error, or none when one starts.
    void errorReported(const std::optional<QString>& message);
    void isLoggedInChanged();
    void emailChanged();
    void subscriptionStatusChanged();
    void expiresAtChanged();
    void devicesChanged();
    void sessionRevokedMessageChanged();

private:
    // The one way an answer about the account (sign-in or refresh) is taken in.
    void applyAccount(const QString& status, const std::optional<QString>& expiresAt,
                      const QList<DeviceSummary>& devices, const QList<DeviceConfig>& configs);
    void handleSessionRevoked();
    void leaveSession();
    // Signed out here: the stored session keeps only the device identity, the account's
    // fields are emptied, then the sign-in form.
    void clearSignedInState();
    std::optional<QString> storedToken();
    // The stored session, or a new one with a new device UUID when nothing is stored.
    SessionState storedOrNewSession();
    void setIsLoggedIn(bool value);
    void setEmail(const QString& value);
    void setSubscriptionStatus(const QString& value);
    void setExpiresAt(std::optional<QDateTime> value);
    void setDevices(QList<DeviceSummary> value);

    APIClient& m_api;
    SessionStore m_session;
    std::chrono::milliseconds m_refreshInterval;
    bool m_isLoggedIn = false;
    QString m_email;
    QString m_subscriptionStatus;
    std::optional<QDateTime> m_expiresAt;
    QList<DeviceSummary> m_devices;
    std::optional<QString> m_sessionRevokedMessage;
    QMap<QString, DeviceConfig> m_configsByRegion;
    QPointer<QTimer> m_refreshTimer;
};

} // namespace veloxa
