#include "SignInForm.h"

#include "localization/Localization.h"
#include "ui/ViewFormat.h"

#include <QRegularExpression>
#include <cmath>

namespace veloxa {

SignInForm::SignInForm(SignInFlow& flow, QObject* parent) : QObject(parent), m_flow(flow) {}

QString SignInForm::trimmed(const QString& email) {
    qsizetype start = 0, end = email.size();
    // Every space a keyboard or a paste can bring (no-break, thin, ideographic...), but
    // not a line break: an address with one is refused, not repaired.
    auto blank = [](QChar c) {
        return c.isSpace() && c != u'\n' && c != u'\r' && c != u'\v' && c != u'\f' &&
               c != QChar(0x85) && c != QChar::LineSeparator && c != QChar::ParagraphSeparator;
    };
    while (start < end && blank(email[start]))
        ++start;
    while (end > start && blank(email[end - 1]))
        --end;
    return email.mid(start, end - start);
}

bool SignInForm::isValidEmail(const QString& email) {
    // "\s" is every Unicode white space: a no-break space inside is not part of an address.
    static const QRegularExpression pattern(QStringLiteral(R"(^[^\s@]+@[^\s@]+\.[^\s@]+$)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    // One match over the whole text: "$" alone would also accept a final line break.
    const QString text = trimmed(email);
    const auto match = pattern.match(text);
    return match.hasMatch() && match.capturedLength(0) == text.size();
}

qint64 SignInForm::cooldownRemaining(const std::optional<QDateTime>& endsAt, const QDateTime& now) {
    return ViewFormat::secondsUntil(endsAt ? QVariant(*endsAt) : QVariant(), now);
}

qint64 SignInForm::cooldownRemaining() const {
    return cooldownRemaining(m_flow.otpCooldownEndsAt(), QDateTime::currentDateTimeUtc());
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
    const QString email = trimmed(m_flow.loginEmail());
    if (cooldownRemaining() > 0)
        co_return;
    if (!isValidEmail(email)) {
        m_flow.setAuthErrorMessage(Localization::shared().text(Localization::Text::invalidEmail));
        co_return;
    }
    m_flow.setLoginEmail(email);
    m_flow.setLoginIsLoading(true);
    QPointer<SignInForm> self(this);
    QPointer<SignInFlow> flow(&m_flow);
    co_await m_flow.requestLoginCode(email);
    if (!flow)
        co_return;
    flow->setLoginIsLoading(false);
    if (flow->authErrorMessage())
        co_return;
    flow->setLoginStage(SignInFlow::LoginStage::Code);
    flow->setOtpCooldownEndsAt(QDateTime::currentDateTimeUtc().addSecs(cooldownSeconds));
    if (self)
        emit codeRequested();
}

QCoro::Task<> SignInForm::verify() {
    m_flow.setLoginIsLoading(true);
    QPointer<SignInFlow> flow(&m_flow);
    co_await m_flow.verifyLoginCode(m_flow.loginEmail(), m_flow.loginCode());
    if (flow)
        flow->setLoginIsLoading(false);
}

void SignInForm::backToEmail() {
    m_flow.setLoginStage(SignInFlow::LoginStage::Email);
    m_flow.setLoginCode(QString());
    m_flow.setAuthErrorMessage(std::nullopt);
}

void SignInForm::editEmail(const QString& text) {
    m_flow.setLoginEmail(text);
    m_flow.setAuthErrorMessage(std::nullopt);
}

void SignInForm::editCode(const QString& text) {
    const QString code = filterCode(text);
    const bool changed = code != m_flow.loginCode();
    m_flow.setLoginCode(code);
    if (changed && code.size() == codeLength && !m_flow.loginIsLoading())
        verify();
}

} // namespace veloxa
