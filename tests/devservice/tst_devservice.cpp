#include "DevService.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTest>

using veloxa::dev::DevService;

// Behaviour of the local service that the API client tests do not reach: code expiry and
// attempts, test controls, and hostile input.
class TestDevService : public QObject {
    Q_OBJECT

    std::unique_ptr<DevService> service;
    QNetworkAccessManager nam;

    struct Answer {
        int status;
        QJsonObject body;
    };
    Answer call(const QByteArray& method, const QString& path, const QByteArray& body = {},
                const QByteArray& token = {}) {
        QNetworkRequest request(QUrl(service->baseUrl().toString() + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token);
        std::unique_ptr<QNetworkReply> reply(nam.sendCustomRequest(request, method, body));
        if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 5000))
            return {0, {}};
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                QJsonDocument::fromJson(reply->readAll()).object()};
    }
    QString lastCode(const QString& email) {
        return service->mailbox(email).value(service->mailbox(email).size() - 1);
    }
    QByteArray verifyBody(const QString& email, const QString& code, const QString& uuid = "D1") {
        return QJsonDocument(QJsonObject{{"email", email},
                                         {"code", code},
                                         {"device_uuid", uuid},
                                         {"device_name", "n"},
                                         {"platform", "p"}})
            .toJson();
    }

private slots:
    void init() {
        DevService::Options options;
        options.printCodes = false;
        options.codeTtlSeconds = 1;
        options.codeAttempts = 2;
        service = std::make_unique<DevService>(options);
        QVERIFY(service->listen(QHostAddress::LocalHost, 0));
        QCOMPARE(service->baseUrl().host(), QStringLiteral("127.0.0.1"));
    }

    void codesExpireAndAllowFewAttempts() {
        const QString email = QStringLiteral("new@example.test");
        QCOMPARE(call("POST", "/api/singbox/client/otp/request", R"({"email":"new@example.test"})")
                     .status,
                 200);
        const QString code = lastCode(email);
        QCOMPARE(code.size(), 6);
        const QString wrong =
            code == u"000000" ? QStringLiteral("111111") : QStringLiteral("000000");
        QCOMPARE(call("POST", "/api/singbox/client/otp/verify", verifyBody(email, wrong))
                     .body.value("error")
                     .toString(),
                 QStringLiteral("Invalid code"));
        QCOMPARE(call("POST", "/api/singbox/client/otp/verify", verifyBody(email, wrong)).status,
                 400);
        // The attempts are used up: even the right code is refused now.
        QCOMPARE(call("POST", "/api/singbox/client/otp/verify", verifyBody(email, code)).status,
                 400);

        call("POST", "/api/singbox/client/otp/request", R"({"email":"new@example.test"})");
        const QString fresh = lastCode(email);
        QTest::qWait(1100);
        const auto expired =
            call("POST", "/api/singbox/client/otp/verify", verifyBody(email, fresh));
        QCOMPARE(expired.status, 400);
        QVERIFY(expired.body.value("error").toString().contains("expired"));

        call("POST", "/api/singbox/client/otp/request", R"({"email":"New@Example.test"})");
        const auto login =
            call("POST", "/api/singbox/client/otp/verify", verifyBody(email, lastCode(email)));
        QCOMPARE(login.status, 200);
        QCOMPARE(login.body.value("status").toString(), QStringLiteral("inactive"));
        QVERIFY(!login.body.contains("expires_at"));
    }

    void controlsChangeAccountsAndTokens() {
        call("POST", "/api/singbox/client/otp/request", R"({"email":"active@veloxa.test"})");
        const auto login =
            call("POST", "/api/singbox/client/otp/verify",
                 verifyBody(DevService::activeSeed, lastCode(DevService::activeSeed)));
        const QByteArray token = login.body.value("token").toString().toUtf8();
        QCOMPARE(
            call("POST", "/dev/accounts", R"({"email":"active@veloxa.test","status":"expired"})")
                .status,
            200);
        QCOMPARE(call("GET", "/api/singbox/client/me", {}, token).body.value("status").toString(),
                 QStringLiteral("expired"));
        QCOMPARE(call("POST", "/dev/revoke", QByteArray(R"({"token":")") + token + "\"}")
                     .body.value("revoked")
                     .toInt(),
                 1);
        QCOMPARE(call("GET", "/api/singbox/client/me", {}, token).status, 401);

        // A scripted answer applies once, to the first request under its path.
        QCOMPARE(call("POST", "/dev/next-response",
                      R"({"status":418,"body":"{}","path":"/api/singbox/client/me"})")
                     .status,
                 200);
        QCOMPARE(call("POST", "/api/singbox/client/logout", {}, token).status, 401);
        QCOMPARE(call("GET", "/api/singbox/client/me", {}, token).status, 418);
        QCOMPARE(call("GET", "/api/singbox/client/me", {}, token).status, 401);
    }

    void badInputGetsErrorsNotCrashes() {
        QCOMPARE(call("POST", "/api/singbox/client/otp/request", "not json").status, 400);
        QCOMPARE(call("POST", "/api/singbox/client/otp/request", "[1]").status, 400);
        QCOMPARE(call("POST", "/api/singbox/client/otp/request", R"({"email":5})").status, 400);
        QCOMPARE(call("POST", "/api/singbox/client/otp/verify", R"({"email":"a@b.c"})")
                     .body.value("error")
                     .toString(),
                 QStringLiteral("Missing field: code"));
        QCOMPARE(call("GET", "/api/singbox/client/otp/request").status, 405);
        QCOMPARE(call("GET", "/api/nothing").status, 404);
        QCOMPARE(call("POST", "/dev/next-response", R"({"status":42})").status, 400);
        QCOMPARE(call("POST", "/dev/accounts", R"({"email":"x"})").status, 400);
        QCOMPARE(call("POST", "/api/singbox/client/devices/replace",
                      R"({"replace_token":"nope","old_device_uuid":"x"})")
                     .status,
                 400);

        QTcpSocket raw;
        raw.connectToHost(QHostAddress::LocalHost, quint16(service->baseUrl().port()));
        QVERIFY(raw.waitForConnected(2000));
        raw.write("\x01\x02 garbage\r\n\r\n");
        raw.waitForReadyRead(500);
        raw.abort();
        QCOMPARE(call("GET", "/ip?format=json").body.value("ip").toString(),
                 QStringLiteral("203.0.113.10"));
    }
};

QTEST_GUILESS_MAIN(TestDevService)
#include "tst_devservice.moc"
