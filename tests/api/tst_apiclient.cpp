#include "DevService.h"
#include "api/APIClient.h"
#include "localization/Localization.h"

#include <QCoro/QCoroTask>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

using namespace veloxa;
using Kind = APIError::Kind;

// The client against the real dev service over loopback.
class TestAPIClient : public QObject {
    Q_OBJECT

    dev::DevService m_service{{.printCodes = false}};
    std::unique_ptr<APIClient> m_client;

    QUrl base() const { return m_service.baseUrl(); }
    const dev::DevService::RecordedRequest& last() const { return m_service.requests().last(); }

    // Queues one scripted answer for the next API request.
    void script(int status, const QByteArray& body, int delayMs = 0,
                const QByteArray& type = "application/json") {
        m_service.reset();
        QNetworkAccessManager nam;
        QNetworkRequest request(QUrl(base().toString() + QStringLiteral("/dev/next-response")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        const QJsonObject o{{"status", status},
                            {"body", QString::fromUtf8(body)},
                            {"delay_ms", delayMs},
                            {"content_type", QString::fromLatin1(type)}};
        QNetworkReply* reply = nam.post(request, QJsonDocument(o).toJson());
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        delete reply;
    }

    std::expected<LoginResult, APIError> verify(const QString& email, const QString& uuid) {
        QCoro::waitFor(m_client->requestOTP(email));
        const QString code = m_service.mailbox(email).last();
        return QCoro::waitFor(m_client->verifyOTP(email, code, uuid,
                                                  QStringLiteral("Studio — macOS 14.5"),
                                                  QStringLiteral("macos-arm64")));
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        Localization::shared().setLanguage(AppLanguage::en);
        QVERIFY(m_service.listen(QHostAddress::LocalHost, 0));
        m_client = std::make_unique<APIClient>(base());
    }
    void init() { m_service.reset(); }

    void signInRequestsCarryExactlyTheirFields() {
        const auto login = verify(dev::DevService::activeSeed,
                                  QStringLiteral("11111111-2222-4333-8444-555555555555"));
        QVERIFY(login);

        const auto& requests = m_service.requests();
        QCOMPARE(requests.size(), 2);
        const auto& otp = requests[0];
        QCOMPARE(otp.method, QStringLiteral("POST"));
        QCOMPARE(otp.path, QStringLiteral("/api/singbox/client/otp/request"));
        QCOMPARE(otp.headers.value("content-type"), QStringLiteral("application/json"));
        QVERIFY(!otp.headers.contains("authorization"));
        QVERIFY(!otp.headers.contains("accept"));
        QCOMPARE(QJsonDocument::fromJson(otp.body).object(),
                 (QJsonObject{{"email", dev::DevService::activeSeed}}));

        const auto& verifyRequest = requests[1];
        QCOMPARE(verifyRequest.path, QStringLiteral("/api/singbox/client/otp/verify"));
        QVERIFY(!verifyRequest.headers.contains("authorization"));
        const auto body = QJsonDocument::fromJson(verifyRequest.body).object();
        QCOMPARE(body.keys(),
                 (QStringList{"code", "device_name", "device_uuid", "email", "platform"}));
        QCOMPARE(body.value("device_name").toString(), QStringLiteral("Studio — macOS 14.5"));
        QVERIFY(!verifyRequest.body.contains("\": ") &&
                !verifyRequest.body.contains(", \"")); // compact

        // Authenticated requests carry the bearer token.
        QVERIFY(QCoro::waitFor(m_client->fetchMe(login->token)));
        QCOMPARE(last().method + u' ' + last().path, QStringLiteral("GET /api/singbox/client/me"));
        QCOMPARE(last().headers.value("authorization"), QStringLiteral("Bearer ") + login->token);
        QVERIFY(QCoro::waitFor(m_client->logout(login->token)));
        QCOMPARE(last().method + u' ' + last().path,
                 QStringLiteral("POST /api/singbox/client/logout"));
    }

    void statusMapping_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind"); // -1: success
        QTest::addColumn<QString>("description");
        const char* limit = R"({"replace_token":"r","max_devices":2,"devices":[]})";
        const char* unexpected = "Unexpected server response";
        const struct {
            int status;
            const char* body;
            Kind kind;
            const char* description;
        } rows[] = {{409, limit, Kind::deviceLimitReached, "Device limit exceeded"},
                    {409, R"({"error":"Busy"})", Kind::server, "Busy"},
                    {409, "", Kind::server, "Ошибка сервера (409)"},
                    {401, R"({"error":"Code expired"})", Kind::server, "Code expired"},
                    {401, "", Kind::unauthorized, "Sign-in required"},
                    {401, limit, Kind::unauthorized, "Sign-in required"},
                    {500, "<html>oops</html>", Kind::server, "Ошибка сервера (500)"},
                    {400, R"({"error":"Invalid code"})", Kind::server, "Invalid code"},
                    {200, "{}", Kind::decoding, unexpected},
                    {204, "", Kind::decoding, unexpected},
                    {200, R"({"ok":false})", Kind(-1), ""}};
        for (const auto& row : rows)
            QTest::addRow("%d %s", row.status, row.body)
                << row.status << QByteArray(row.body) << int(row.kind)
                << QString::fromUtf8(row.description);
    }
    void statusMapping() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(QString, description);
        script(status, body, 0, body.startsWith('<') ? "text/html" : "application/json");
        const auto result = QCoro::waitFor(m_client->logout(QStringLiteral("t")));
        if (kind < 0) {
            QVERIFY(result);
            return;
        }
        QVERIFY(!result);
        QCOMPARE(int(result.error().kind()), kind);
        QCOMPARE(result.error().description(), description);
    }

    void descriptionsFollowTheLanguage() {
        script(200, "{}");
        const auto result = QCoro::waitFor(m_client->requestOTP(QStringLiteral("a@b.c")));
        // Transport failures in Qt's words, in the language of the moment.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        APIClient nowhere(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort())));
        closed.close();
        const QString english =
            QCoro::waitFor(nowhere.fetchMe(QStringLiteral("t"))).error().description();
        Localization::shared().setLanguage(AppLanguage::de);
        QVERIFY(QCoro::waitFor(nowhere.fetchMe(QStringLiteral("t"))).error().description() !=
                english);
        // Our own descriptions when they are read.
        QCOMPARE(result.error().description(), QStringLiteral("Unerwartete Serverantwort"));
        Localization::shared().setLanguage(AppLanguage::ru);
        QCOMPARE(APIError::unauthorized().description(), QStringLiteral("Требуется вход"));
        QCOMPARE(APIError::deviceLimitReached({}).description(),
                 QStringLiteral("Превышен лимит устройств"));
        // The fallback server text is the same in every language.
        script(503, "");
        QCOMPARE(QCoro::waitFor(m_client->logout(QStringLiteral("t"))).error().description(),
                 QStringLiteral("Ошибка сервера (503)"));
        Localization::shared().setLanguage(AppLanguage::en);
    }
};

QTEST_GUILESS_MAIN(TestAPIClient)
#include "tst_apiclient.moc"
