#include "SignInForm.h"

#include "localization/Localization.h"
#include "ui/ViewFormat.h"

#include <QRegularExpression>
#include <cmath>

namespace veloxa {

SignInForm::SignInForm(AppState& state, QObject* parent) : QObject(parent), m_state(state) {}

QString SignInForm::trimmed(const QString& email) {
    qsizetype start = 0, end = email.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (start < end && blank(email[start]))
        ++start;
    while (end > start && blank(email[end - 1]))
        --end;
    return email.mid(start, end - start);
}

bool SignInForm::isValidEmail(const QString& email) {
    static const QRegularExpression pattern(QStringLiteral(R"(^[^\s@]+@[^\s@]+\.[^\s@]+$)"));
    // One match over the whole text: "$" alone would also accept a final line break.
    const QString text = trimmed(email);
    const auto match = pattern.match(text);
    return match.hasMatch() && match.capturedLength(0) == text.size();
}

qint64 SignInForm::cooldownRemaining(const std::optional<QDateTime>& endsAt, const QDateTime& now) {
    return ViewFormat::secondsUntil(endsAt ? QVariant(*endsAt) : QVariant(), now);
}

qint64 SignInForm::cooldownRemaining() const {
    return cooldownRemaining(m_state.otpCooldownEndsAt(), QDateTime::currentDateTimeUtc());
}

QString SignInForm::filterCode(const QString& text) {
    QString digits;
    for (const QChar c : text) {
        if (c.isNumber())
            digits += c;
        if (digits.size() == codeLength)
            break;
    }
    return digits;
}

QCoro::Task<> SignInForm::sendCode() {
    const QString email = trimmed(m_state.loginEmail());
    if (cooldownRemaining() > 0)
        co_return;
    if (!isValidEmail(email)) {
        m_state.setAuthErrorMessage(Localization::shared().text(Localization::Text::invalidEmail));
        co_return;
    }
    m_state.setLoginEmail(email);
    m_state.setLoginIsLoading(true);
    QPointer<SignInForm> self(this);
    QPointer<AppState> state(&m_state);
    co_await m_state.requestLoginCode(email);
    if (!state)
        co_return;
    state->setLoginIsLoading(false);
    if (state->authErrorMessage())
        co_return;
    state->setLoginStage(AppState::LoginStage::code);
    state->setOtpCooldownEndsAt(QDateTime::currentDateTimeUtc().addSecs(cooldownSeconds));
    if (self)
        emit codeRequested();
}

QCoro::Task<> SignInForm::verify() {
    m_state.setLoginIsLoading(true);
    QPointer<AppState> state(&m_state);
    co_await m_state.verifyLoginCode(m_state.loginEmail(), m_state.loginCode());
    if (state)
        state->setLoginIsLoading(false);
}

void SignInForm::backToEmail() {
    m_state.setLoginStage(AppState::LoginStage::email);
    m_state.setLoginCode(QString());
    m_state.setAuthErrorMessage(std::nullopt);
}

void SignInForm::editEmail(const QString& text) {
    m_state.setLoginEmail(text);
    m_state.setAuthErrorMessage(std::nullopt);
}

void SignInForm::editCode(const QString& text) {
    const QString code = filterCode(text);
    const bool changed = code != m_state.loginCode();
    m_state.setLoginCode(code);
    if (changed && code.size() == codeLength && !m_state.loginIsLoading())
        verify();
}

} // namespace veloxa
