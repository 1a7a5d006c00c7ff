#include "DevService.h"
#include "api/APIClient.h"
#include "app/DeviceIdentity.h"
#include "app/SignInForm.h"
#include "localization/Localization.h"
#include "platform/MemorySecureItemStore.h"
#include "session/SessionStore.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace veloxa;
using Stage = SignInFlow::LoginStage;

// The sign-in part on its own with the form's side of signing in, against the dev service.
class TestSignInForm : public QObject {
    Q_OBJECT

    std::unique_ptr<dev::DevService> service;
    std::unique_ptr<APIClient> api;
    std::unique_ptr<SessionStore> session;
    std::unique_ptr<SignInFlow> state;
    std::unique_ptr<SignInForm> form;

    qsizetype requestCount(const QString& path) {
        return std::count_if(service->requests().cbegin(), service->requests().cend(),
                             [&](const auto& r) { return r.path == path; });
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        Localization::shared().setLanguage(AppLanguage::en);
    }
    void init() {
        service = std::make_unique<dev::DevService>(dev::DevService::Options{.printCodes = false});
        QVERIFY(service->listen(QHostAddress::LocalHost, 0));
        api = std::make_unique<APIClient>(service->baseUrl());
        session = std::make_unique<SessionStore>(std::make_shared<MemorySecureItemStore>(),
                                                 QStringLiteral("s"), QStringLiteral("a"),
                                                 QStringLiteral("l"));
        state = std::make_unique<SignInFlow>(*api, *session, QStringLiteral("Studio — macOS 14.5"),
                                             QStringLiteral("linux-x86_64"));
        form = std::make_unique<SignInForm>(*state);
    }

    void addressRules_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "a@b.co" << true;
        QTest::newRow("spaces and tabs around") << " \ta@b.co \t" << true;
        QTest::newRow("no dot after the at") << "a@bco" << false;
        QTest::newRow("two ats") << "a@@b.co" << false;
        QTest::newRow("space inside") << "a b@c.de" << false;
        QTest::newRow("no-break space inside") << "a\u00A0b@c.de" << false;
        QTest::newRow("ideographic space inside") << "a@c\u3000.de" << false;
        QTest::newRow("no-break and em spaces around") << "\u00A0a@b.co\u2003" << true;
        QTest::newRow("line separator kept") << "a@b.co\u2028" << false;
        QTest::newRow("line break kept") << "a@b.co\n" << false;
        QTest::newRow("empty") << "" << false;
    }
    void addressRules() {
        QFETCH(QString, typed);
        QFETCH(bool, valid);
        QCOMPARE(SignInForm::isValidEmail(typed), valid);
        if (valid) // what is sent carries no white space at all
            QVERIFY(!SignInForm::trimmed(typed).contains(QRegularExpression(
                QStringLiteral("\\s"), QRegularExpression::UseUnicodePropertiesOption)));
    }

    void sendCodeValidatesTrimsAndCoolsDown() {
        form->editEmail(QStringLiteral("nope@"));
        QCoro::waitFor(form->sendCode());
        QCOMPARE(state->authErrorMessage(), QStringLiteral("Enter a valid email address"));
        QCOMPARE(requestCount(QStringLiteral("/api/singbox/client/otp/request")), 0);
        form->editEmail(QStringLiteral("\u00A0 active@veloxa.test\t"));
        QCOMPARE(state->authErrorMessage(), std::nullopt); // editing clears the message

        QSignalSpy focused(form.get(), &SignInForm::codeRequested);
        QCoro::waitFor(form->sendCode());
        QCOMPARE(state->loginEmail(), QStringLiteral("active@veloxa.test"));
        QCOMPARE(state->loginStage(), Stage::Code);
        QCOMPARE(state->loginIsLoading(), false);
        QCOMPARE(form->cooldownRemaining(), 60);
        QCOMPARE(focused.count(), 1);
        QCoro::waitFor(form->sendCode()); // during the cooldown: nothing
        QCOMPARE(requestCount(QStringLiteral("/api/singbox/client/otp/request")), 1);

        form->backToEmail();
        QCOMPARE(state->loginStage(), Stage::Email);
        QCOMPARE(state->loginCode(), QString());
        QCOMPARE(form->cooldownRemaining(), 60); // the cooldown survives going back
    }

    void failedRequestKeepsTheStep() {
        form->editEmail(QStringLiteral("a@b.co"));
        state->setOtpCooldownEndsAt(std::nullopt);
        service.reset(); // the service is gone
        QCoro::waitFor(form->sendCode());
        QVERIFY(state->authErrorMessage());
        QCOMPARE(state->loginStage(), Stage::Email);
        QCOMPARE(state->loginIsLoading(), false);
        QCOMPARE(state->otpCooldownEndsAt(), std::nullopt);
    }

    void cooldownRounding() {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QCOMPARE(SignInForm::cooldownRemaining(std::nullopt, now), 0);
        QCOMPARE(SignInForm::cooldownRemaining(now.addMSecs(59200), now), 60);
        QCOMPARE(SignInForm::cooldownRemaining(now.addMSecs(1), now), 1);
        QCOMPARE(SignInForm::cooldownRemaining(now.addSecs(-5), now), 0);
    }

    void codeFilterAndAutomaticVerification() {
        QCOMPARE(SignInForm::filterCode(QStringLiteral("12a3")), QStringLiteral("123"));
        QCOMPARE(SignInForm::filterCode(QStringLiteral("12 34-56")), QStringLiteral("123456"));
        QCOMPARE(SignInForm::filterCode(QStringLiteral("1234567")), QStringLiteral("123456"));
        QCOMPARE(SignInForm::filterCode(QStringLiteral("١٢٣")), QStringLiteral("١٢٣"));

        const QString email = dev::DevService::activeSeed;
        form->editEmail(email);
        QCoro::waitFor(form->sendCode());
        const QString code = service->mailbox(email).last();
        form->editCode(code.left(5));
        QCOMPARE(requestCount(QStringLiteral("/api/singbox/client/otp/verify")), 0);
        // A request in flight blocks the automatic submission.
        state->setLoginIsLoading(true);
        form->editCode(code);
        QCOMPARE(requestCount(QStringLiteral("/api/singbox/client/otp/verify")), 0);
        state->setLoginIsLoading(false);
        QSignalSpy signedIn(state.get(), &SignInFlow::signedIn);
        form->editCode(code.left(5));
        form->editCode(code.left(3) + QStringLiteral(" ") + code.mid(3) + QStringLiteral("9"));
        QTRY_COMPARE(signedIn.count(), 1);
        QCOMPARE(requestCount(QStringLiteral("/api/singbox/client/otp/verify")), 1);
        QCOMPARE(state->loginIsLoading(), false);
    }

    void deviceName() {
        QCOMPARE(DeviceIdentity::deviceName(QString(), QStringLiteral("Debian GNU/Linux 12")),
                 QStringLiteral("Linux — Debian GNU/Linux 12"));
        QCOMPARE(DeviceIdentity::deviceName(QStringLiteral(" studio "),
                                            QStringLiteral("Debian GNU/Linux 12")),
                 QStringLiteral("studio — Debian GNU/Linux 12"));
        QCOMPARE(DeviceIdentity::systemName("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                            "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"),
                 QStringLiteral("Debian GNU/Linux 12"));
        QCOMPARE(DeviceIdentity::systemName("NAME=Arch Linux\n"), QStringLiteral("Arch Linux"));
        QCOMPARE(DeviceIdentity::systemName("ID=x\n"), QString());
        QCOMPARE(DeviceIdentity::platform(QStringLiteral("x86_64")),
                 QStringLiteral("linux-x86_64"));
        QCOMPARE(DeviceIdentity::platform(QStringLiteral("arm64")), QStringLiteral("linux-arm64"));
        // This machine names itself by its system, never as a Mac.
        QVERIFY(!DeviceIdentity::currentDeviceName().contains(QStringLiteral("macOS")));
        QVERIFY(DeviceIdentity::platform().startsWith(QStringLiteral("linux-")));
    }
};

QTEST_GUILESS_MAIN(TestSignInForm)
#include "tst_signinform.moc"
