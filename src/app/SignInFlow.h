#pragma once

#include "ModelEnums.h"
#include "api/DeviceLimitResult.h"
#include "api/LoginResult.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <optional>

namespace veloxa {

class APIClient;
class SessionStore;

// The model's sign-in part: the form's fields, the code request, its verification and the
// replacement of a device when the account is full. A verified sign-in is handed on
// through `signedIn`; keeping the session is the account part's concern.
class SignInFlow : public QObject {
    Q_OBJECT
public:
    using LoginStage = ModelEnums::LoginStage;

    SignInFlow(APIClient& api, SessionStore& session, QString deviceName, QString platform,
               QObject* parent = nullptr);

    const std::optional<DeviceLimitResult>& pendingDeviceLimit() const {
        return m_pendingDeviceLimit;
    }
    void setPendingDeviceLimit(std::optional<DeviceLimitResult> value);
    const std::optional<QString>& authErrorMessage() const { return m_authErrorMessage; }
    void setAuthErrorMessage(std::optional<QString> value);
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
    const QString& platform() const { return m_platform; }

    QCoro::Task<> requestLoginCode(QString email);
    QCoro::Task<> verifyLoginCode(QString email, QString code);
    QCoro::Task<> replaceDevice(QString oldDeviceUUID);
    // The form back at its start: an empty e-mail step, nothing loading, no cooldown.
    void resetLoginForm();

signals:
    void signedIn(const veloxa::LoginResult& result);
    void pendingDeviceLimitChanged();
    void authErrorMessageChanged();
    void loginEmailChanged();
    void loginCodeChanged();
    void loginStageChanged();
    void loginIsLoadingChanged();
    void otpCooldownEndsAtChanged();

private:
    APIClient& m_api;
    SessionStore& m_session;
    QString m_deviceName;
    QString m_platform;
    std::optional<DeviceLimitResult> m_pendingDeviceLimit;
    std::optional<QString> m_authErrorMessage;
    QString m_loginEmail;
    QString m_loginCode;
    LoginStage m_loginStage = LoginStage::Email;
    bool m_loginIsLoading = false;
    std::optional<QDateTime> m_otpCooldownEndsAt;
};

} // namespace veloxa
