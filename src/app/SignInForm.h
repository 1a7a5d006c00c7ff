#pragma once

#include "SignInFlow.h"

#include <QtQml/qqmlregistration.h>

namespace veloxa {

// The sign-in form's half of the sign-in contract, kept out of the views: trimming and
// validating the address, the resend cooldown, the code filter and automatic verification.
class SignInForm : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the application")
public:
    static constexpr int cooldownSeconds = 60;
    static constexpr int codeLength = 6;

    explicit SignInForm(SignInFlow& flow, QObject* parent = nullptr);

    // White space off both ends (any Unicode space, tabs); line breaks stay.
    static QString trimmed(const QString& email);
    Q_INVOKABLE static bool isValidEmail(const QString& email);
    // Whole seconds until `endsAt`, rounded up, never below 0.
    static qint64 cooldownRemaining(const std::optional<QDateTime>& endsAt, const QDateTime& now);
    // Numeric characters only, at most six of them.
    static QString filterCode(const QString& text);

    Q_INVOKABLE qint64 cooldownRemaining() const;

    // Send code (also resend): ignored during the cooldown; an invalid address only sets
    // the validation message.
    QCoro::Task<> sendCode();
    QCoro::Task<> verify();
    Q_INVOKABLE void sendCodeLater() { sendCode(); }
    Q_INVOKABLE void verifyLater() { verify(); }
    Q_INVOKABLE void backToEmail();
    // Edits from the fields: the address clears the error; the code is filtered and sent
    // by itself once it has six digits.
    Q_INVOKABLE void editEmail(const QString& text);
    Q_INVOKABLE void editCode(const QString& text);

signals:
    // The code step was reached after a successful request: the code field takes focus.
    void codeRequested();

private:
    SignInFlow& m_flow;
};

} // namespace veloxa
