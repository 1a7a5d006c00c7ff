#include "SignInFlow.h"

#include "FieldChange.h"
#include "api/APIClient.h"
#include "session/SessionStore.h"

#include <QPointer>

namespace veloxa {

SignInFlow::SignInFlow(APIClient& api, SessionStore& session, QString deviceName, QString platform,
                       QObject* parent)
    : QObject(parent), m_api(api), m_session(session), m_deviceName(std::move(deviceName)),
      m_platform(std::move(platform)) {}

void SignInFlow::setPendingDeviceLimit(std::optional<DeviceLimitResult> value) {
    setField(this, m_pendingDeviceLimit, std::move(value), &SignInFlow::pendingDeviceLimitChanged);
}
void SignInFlow::setAuthErrorMessage(std::optional<QString> value) {
    setField(this, m_authErrorMessage, std::move(value), &SignInFlow::authErrorMessageChanged);
}
void SignInFlow::setLoginEmail(const QString& value) {
    setField(this, m_loginEmail, value, &SignInFlow::loginEmailChanged);
}
void SignInFlow::setLoginCode(const QString& value) {
    setField(this, m_loginCode, value, &SignInFlow::loginCodeChanged);
}
void SignInFlow::setLoginStage(LoginStage value) {
    setField(this, m_loginStage, value, &SignInFlow::loginStageChanged);
}
void SignInFlow::setLoginIsLoading(bool value) {
    setField(this, m_loginIsLoading, value, &SignInFlow::loginIsLoadingChanged);
}
void SignInFlow::setOtpCooldownEndsAt(std::optional<QDateTime> value) {
    setField(this, m_otpCooldownEndsAt, std::move(value), &SignInFlow::otpCooldownEndsAtChanged);
}

void SignInFlow::resetLoginForm() {
    setLoginEmail(QString());
    setLoginCode(QString());
    setLoginStage(LoginStage::Email);
    setLoginIsLoading(false);
    setOtpCooldownEndsAt(std::nullopt);
}

// Each operation applies its answer to the state it finds when the answer comes, and
// nothing once this part is gone.
QCoro::Task<> SignInFlow::requestLoginCode(QString email) {
    QPointer<SignInFlow> self(this);
    setAuthErrorMessage(std::nullopt);
    const auto result = co_await m_api.requestOTP(email);
    if (self && !result)
        setAuthErrorMessage(result.error().description());
}

QCoro::Task<> SignInFlow::verifyLoginCode(QString email, QString code) {
    QPointer<SignInFlow> self(this);
    setAuthErrorMessage(std::nullopt);
    const QString uuid = m_session.currentDeviceUUID();
    const auto result = co_await m_api.verifyOTP(email, code, uuid, m_deviceName, m_platform);
    if (!self)
        co_return;
    if (result)
        emit signedIn(*result);
    else if (result.error().kind() == APIError::Kind::deviceLimitReached)
        setPendingDeviceLimit(result.error().deviceLimit());
    else
        setAuthErrorMessage(result.error().description());
}

QCoro::Task<> SignInFlow::replaceDevice(QString oldDeviceUUID) {
    if (!m_pendingDeviceLimit)
        co_return;
    QPointer<SignInFlow> self(this);
    setAuthErrorMessage(std::nullopt);
    const QString replaceToken = m_pendingDeviceLimit->replaceToken;
    const auto result = co_await m_api.replaceOldDevice(replaceToken, oldDeviceUUID);
    if (!self)
        co_return;
    if (!result) {
        setAuthErrorMessage(result.error().description());
        co_return;
    }
    setPendingDeviceLimit(std::nullopt);
    emit signedIn(*result);
}

} // namespace veloxa
