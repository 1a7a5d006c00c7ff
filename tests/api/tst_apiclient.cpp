#include "../support/DevServiceFixture.h"
#include "api/APIClient.h"
#include "api/APIErrorResponse.h"
#include "api/DeviceLimitResult.h"
#include "api/InternetDateTime.h"
#include "api/LoginResult.h"
#include "api/MeResult.h"
#include "api/OKResponse.h"
#include "api/UrlPolicy.h"
#include "localization/Localization.h"

#include <QCoro/QCoroTask>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace veloxa;
using Kind = APIError::Kind;

namespace {
const char* device = R"({"device_uuid":"A","device_name":"Studio","platform":"macos-arm64",
    "regions":["de"],"created_at":"2025-01-01T00:00:00Z"})";
const char* config =
    R"({"region":"de","region_label":"Germany","config":"{}","filename":"de.json"})";

QByteArray me(const QString& extra, const QString& configs = QString::fromLatin1(config)) {
    return QStringLiteral(R"({"email":"a@b.c","status":"active",%1"devices":[%2],"configs":[%3]})")
        .arg(extra, QString::fromLatin1(device), configs)
        .toUtf8();
}

QByteArray response(const QByteArray& statusLine, const QByteArray& headers,
                    const QByteArray& body) {
    return "HTTP/1.1 " + statusLine + "\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}
const QByteArray okBody = R"({"ok":true})";

// A loopback HTTP server that records each raw request and answers with scripted bytes,
// or half of them, or nothing at all; by default a success.
class ScriptedServer : public QObject {
public:
    enum class Then { close, stall };

    ScriptedServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    QByteArray& buffer = m_buffers[s];
                    buffer += s->readAll();
                    const qsizetype end = buffer.indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    static const QRegularExpression length(
                        QStringLiteral("(?i)content-length: *(\\d+)"));
                    const auto m = length.match(QString::fromLatin1(buffer.left(end)));
                    if (m.hasMatch() && buffer.size() < end + 4 + m.captured(1).toInt())
                        return;
                    requests << buffer;
                    buffer.clear();
                    s->write(answer);
                    if (then == Then::close)
                        s->disconnectFromHost();
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    QByteArray answer = response("200 OK", {}, okBody);
    Then then = Then::close;
    QList<QByteArray> requests;

private:
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

} // namespace

// The client against the real dev service over loopback and against a hostile one, the
// records it decodes, and the addresses it may use.
class TestAPIClient : public QObject {
    Q_OBJECT

    DevServiceFixture m_dev;
    dev::DevService& m_service = m_dev.service;
    std::unique_ptr<APIClient> m_client;

    const dev::DevService::RecordedRequest& last() const { return m_service.requests().last(); }

    template <class T> static T wait(QCoro::Task<T>&& task) {
        return QCoro::waitFor(std::move(task));
    }
    // Encoding writes the keys decoding reads.
    template <class T> static void roundTrips(const T& value) {
        const auto again = JsonReader::decode<T>(QByteArray::fromStdString(value.toJson().dump()));
        QVERIFY(again);
        QCOMPARE(*again, value);
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        Localization::shared().setLanguage(AppLanguage::en);
        QVERIFY(m_dev.listen());
        m_client = std::make_unique<APIClient>(m_dev.url());
    }
    void init() { m_service.reset(); }

    // The control the other tests rely on without seeing it: a scripted answer replaces
    // exactly one reply on its own path, so a test that scripts a failure gets the real
    // service back after it.
    void scriptedAnswerIsUsedOnce() {
        const QString me = QStringLiteral("/api/singbox/client/me");
        QVERIFY(m_dev.script(me, 418, "{}"));
        QCOMPARE(m_dev.request(QStringLiteral("/ip?format=json")), 200); // another path first
        QCOMPARE(m_dev.request(me), 418);
        QCOMPARE(m_dev.request(me), 401);
    }

    void signInRequestsCarryExactlyTheirFields() {
        const QString email = dev::DevService::activeSeed;
        wait(m_client->requestOTP(email));
        const auto login = wait(m_client->verifyOTP(
            email, m_service.mailbox(email).last(),
            QStringLiteral("11111111-2222-4333-8444-555555555555"),
            QStringLiteral("Studio — macOS 14.5"), QStringLiteral("macos-arm64")));
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
        QVERIFY(wait(m_client->fetchMe(login->token)));
        QCOMPARE(last().method + u' ' + last().path, QStringLiteral("GET /api/singbox/client/me"));
        QCOMPARE(last().headers.value("authorization"), QStringLiteral("Bearer ") + login->token);
        QVERIFY(wait(m_client->logout(login->token)));
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
        QVERIFY(m_dev.script(QStringLiteral("/api/"), status, body, 0,
                             body.startsWith('<') ? "text/html" : "application/json"));
        const auto result = wait(m_client->logout(QStringLiteral("t")));
        if (kind < 0) {
            QVERIFY(result);
            return;
        }
        QVERIFY(!result);
        QCOMPARE(int(result.error().kind()), kind);
        QCOMPARE(result.error().description(), description);
    }

    void descriptionsFollowTheLanguage() {
        QVERIFY(m_dev.script(QStringLiteral("/api/"), 200, "{}"));
        const auto result = wait(m_client->requestOTP(QStringLiteral("a@b.c")));
        // Transport failures in Qt's words, in the language of the moment.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        APIClient nowhere(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort())));
        closed.close();
        const QString english = wait(nowhere.fetchMe(QStringLiteral("t"))).error().description();
        Localization::shared().setLanguage(AppLanguage::de);
        QVERIFY(wait(nowhere.fetchMe(QStringLiteral("t"))).error().description() != english);
        // Our own descriptions when they are read.
        QCOMPARE(result.error().description(), QStringLiteral("Unerwartete Serverantwort"));
        // The fallback server text is the same in every language.
        QVERIFY(m_dev.script(QStringLiteral("/api/"), 503, ""));
        QCOMPARE(wait(m_client->logout(QStringLiteral("t"))).error().description(),
                 QStringLiteral("Ошибка сервера (503)"));
        Localization::shared().setLanguage(AppLanguage::en);
    }

    void decodesAndRoundTrips() {
        const auto decoded =
            JsonReader::decode<MeResult>(me(R"("expires_at":"2025-06-30T12:00:00Z","x":1,)"));
        QVERIFY2(decoded, qPrintable(decoded ? QString() : decoded.error().message));
        QCOMPARE(decoded->devices.size(), 1);
        QCOMPARE(decoded->devices[0].lastSeenAt, std::nullopt);
        QCOMPARE(decoded->configs[0].regionLabel, QStringLiteral("Germany"));
        QVERIFY(!decoded->devices[0].toJson().contains("last_seen_at")); // absent stays out
        roundTrips(*decoded);

        const auto login = JsonReader::decode<LoginResult>(
            R"({"token":"t","email":"e","status":"expired","devices":[],"configs":[]})");
        QCOMPARE(login.value().expiresAt, std::nullopt);
        roundTrips(*login);

        const auto limit = JsonReader::decode<DeviceLimitResult>(
            QStringLiteral(R"({"replace_token":"r","max_devices":5,"devices":[%1]})")
                .arg(QLatin1String(device))
                .toUtf8());
        QCOMPARE(limit.value().maxDevices, 5);
        roundTrips(*limit);
    }

    void rejectsBadBodies_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("not JSON") << QByteArray("<html>") << "malformed JSON";
        QTest::newRow("array at top") << QByteArray("[]") << "expected an object";
        QTest::newRow("missing email")
            << QByteArray(R"({"status":"active","devices":[],"configs":[]})")
            << "missing key \"email\"";
        QTest::newRow("devices null")
            << me("").replace(QByteArray("\"devices\":[") + device + "]", "\"devices\":null")
            << "wrong type for \"devices\"";
        QTest::newRow("config without filename")
            << me("", R"({"region":"de","region_label":"G","config":"{}"})")
            << "configs[0].filename";
        QTest::newRow("region not a string")
            << me("", R"({"region":1,"region_label":"G","config":"{}","filename":"f"})")
            << "configs[0].region";
        QTest::newRow("regions with a number")
            << me("").replace("[\"de\"]", "[\"de\",1]") << "regions[1]";
        QTest::newRow("created_at missing")
            << me("").replace(",\"created_at\":\"2025-01-01T00:00:00Z\"", "") << "created_at";
        QTest::newRow("expires_at a number") << me(R"("expires_at":5,)") << "expires_at";
        // Deeper than any record, even under a key nobody reads: refused before parsing.
        QTest::newRow("nested too deeply")
            << me("\"x\":" + QString(33, u'[') + QString(33, u']') + u',') << "nested too deeply";
    }
    void rejectsBadBodies() {
        QFETCH(QByteArray, body);
        QFETCH(QString, messagePart);
        const auto decoded = JsonReader::decode<MeResult>(body);
        QVERIFY(!decoded);
        QVERIFY2(decoded.error().message.contains(messagePart),
                 qPrintable(decoded.error().message));
    }

    void integersAreSigned64Bit() {
        auto limit = [](const char* max) {
            return JsonReader::decode<DeviceLimitResult>(
                QStringLiteral(R"({"replace_token":"r","max_devices":%1,"devices":[]})")
                    .arg(QLatin1String(max))
                    .toUtf8());
        };
        QCOMPARE(limit("9223372036854775807")->maxDevices, std::numeric_limits<qint64>::max());
        QCOMPARE(limit("-3")->maxDevices, -3);
        QVERIFY(!limit("9223372036854775808"));
        QVERIFY(!limit("5.5"));
        QVERIFY(!limit("\"5\""));
    }

    void optionalsAndSmallRecords() {
        // Missing and null optionals both read as absent.
        QVERIFY(!JsonReader::decode<MeResult>(me(R"("expires_at":null,)"))->expiresAt);
        auto withLastSeen = QByteArray(device).replace("}", ",\"last_seen_at\":null}");
        QVERIFY(!JsonReader::decode<DeviceSummary>(withLastSeen)->lastSeenAt);
        QVERIFY(JsonReader::decode<OKResponse>("{\"ok\":false}"));
        QVERIFY(!JsonReader::decode<OKResponse>("{}"));
        QCOMPARE(JsonReader::decode<APIErrorResponse>(R"({"error":"Нет","code":7})")->error,
                 QStringLiteral("Нет"));
        QVERIFY(!JsonReader::decode<APIErrorResponse>(R"({"message":"x"})"));
    }

    void expiryForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("utc"); // empty: no date
        const char* const forms[][2] = {
            {"2025-06-30T12:00:00Z", "2025-06-30T12:00:00.000Z"},
            {"2025-06-30T12:00:00.123+03:00", "2025-06-30T09:00:00.123Z"},
            {"2025-06-30T12:00:00.123456Z", "2025-06-30T12:00:00.123Z"},
            {"2025-06-30T23:30:00-01:30", "2025-07-01T01:00:00.000Z"},
            {"2025-06-30t12:00:00.5z", "2025-06-30T12:00:00.500Z"},
            // No zone, no time, nothing, a word, no such month, a space, no such offset.
            {"2025-06-30T12:00:00", ""},
            {"2025-06-30", ""},
            {"", ""},
            {"tomorrow", ""},
            {"2025-13-01T00:00:00Z", ""},
            {"2025-06-30 12:00:00Z", ""},
            {"2025-06-30T12:00:00+25:00", ""}};
        for (const auto& [text, utc] : forms)
            QTest::addRow("'%s'", text) << QString::fromLatin1(text) << QString::fromLatin1(utc);
    }
    void expiryForms() {
        QFETCH(QString, text);
        QFETCH(QString, utc);
        const auto parsed = InternetDateTime::parse(text);
        if (utc.isEmpty()) {
            QVERIFY(!parsed);
        } else {
            QVERIFY(parsed);
            QCOMPARE(parsed->toUTC().toString(Qt::ISODateWithMs), utc);
        }
        QVERIFY(!InternetDateTime::parse(std::nullopt));
    }

    // Against a service that answers as no honest one would.
    void redirectsAreNotFollowed() {
        ScriptedServer elsewhere, service;
        service.answer = response("307 Temporary Redirect",
                                  "Location: " + elsewhere.url().toLatin1() + "/steal\r\n", {});
        APIClient client{QUrl(service.url())};
        const auto me = wait(client.fetchMe(QStringLiteral("secret-token")));
        QCOMPARE(me.error().kind(), Kind::server);
        QCOMPARE(me.error().description(), QStringLiteral("Ошибка сервера (307)"));
        const auto code = wait(client.requestOTP(QStringLiteral("a@b.c")));
        QCOMPARE(code.error().kind(), Kind::server);
        QCOMPARE(service.requests.size(), 2);
        QCOMPARE(elsewhere.requests.size(), 0); // neither the token nor the address went on
    }

    void deviceIdentifiersStayOnePathSegment_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QByteArray>("sentPath"); // empty: nothing may be sent
        QTest::newRow("uuid") << "00000001-AAAA-4BBB-8CCC-000000000001"
                              << QByteArray("/api/singbox/client/devices/"
                                            "00000001-AAAA-4BBB-8CCC-000000000001");
        for (const char* bad : {"..", ".", "", "../logout", "a/b", "%2e%2e", "x?y", "x#y", "a b"})
            QTest::newRow(bad) << QString::fromLatin1(bad) << QByteArray();
    }
    void deviceIdentifiersStayOnePathSegment() {
        QFETCH(QString, identifier);
        QFETCH(QByteArray, sentPath);
        ScriptedServer service;
        APIClient client{QUrl(service.url())};
        const auto deleted = wait(client.deleteDevice(identifier, QStringLiteral("token")));
        if (sentPath.isEmpty()) {
            QCOMPARE(deleted.error().kind(), Kind::decoding);
            QCOMPARE(service.requests.size(), 0);
        } else {
            QVERIFY(deleted.has_value());
            QVERIFY(service.requests.value(0).startsWith("DELETE " + sentPath + " HTTP/1.1"));
        }
    }

    void tokensThatCouldBreakTheHeader() {
        ScriptedServer service;
        const QByteArray login =
            R"({"token":"t\r\nX-Injected: 1","email":"a@b.c","status":"active","devices":[],"configs":[]})";
        service.answer = response("200 OK", {}, login);
        APIClient client{QUrl(service.url())};
        const auto result =
            wait(client.verifyOTP(QStringLiteral("a@b.c"), QStringLiteral("1"), QStringLiteral("u"),
                                  QStringLiteral("n"), QStringLiteral("p")));
        QCOMPARE(result.error().kind(), Kind::decoding);

        // A stored token of that kind is never sent.
        service.requests.clear();
        for (const QString& token : {QStringLiteral("t\r\nX-Injected: 1"),
                                     QStringLiteral("with space"), QStringLiteral("tökén")}) {
            QCOMPARE(wait(client.fetchMe(token)).error().kind(), Kind::unauthorized);
            QCOMPARE(wait(client.logout(token)).error().kind(), Kind::unauthorized);
        }
        QCOMPARE(service.requests.size(), 0);
    }

    void brokenTransfersAreNetworkFailures_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("stall");
        const QByteArray half = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"ok\":";
        QTest::newRow("closed mid-body") << half << false;
        QTest::newRow("stalled mid-body") << half << true;
        QTest::newRow("closed mid-body of a failure")
            << QByteArray("HTTP/1.1 500 Oops\r\nContent-Length: 100\r\n\r\n{\"err") << false;
        QTest::newRow("nothing after the request") << QByteArray() << true;
    }
    void brokenTransfersAreNetworkFailures() {
        QFETCH(QByteArray, answer);
        QFETCH(bool, stall);
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        ScriptedServer service;
        service.answer = answer;
        service.then = stall ? ScriptedServer::Then::stall : ScriptedServer::Then::close;
        APIClient client{QUrl(service.url())};
        client.setTimeout(std::chrono::milliseconds(400));
        const auto me = wait(client.fetchMe(QStringLiteral("token")));
        QCOMPARE(me.error().kind(), Kind::network);
    }

    void oversizeBodiesAreNotRead_data() {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<QString>("description");
        QTest::newRow("announced") << QByteArray("200 OK") << true << "Unexpected server response";
        QTest::newRow("streamed") << QByteArray("200 OK") << false << "Unexpected server response";
        QTest::newRow("failure") << QByteArray("500 Oops") << true << "Ошибка сервера (500)";
    }
    void oversizeBodiesAreNotRead() {
        QFETCH(QByteArray, status);
        QFETCH(bool, announced);
        QFETCH(QString, description);
        ScriptedServer service;
        const QByteArray huge(APIClient::maxResponseBytes + 1024, ' ');
        service.answer = announced ? response(status, {}, huge)
                                   : "HTTP/1.1 " + status + "\r\nConnection: close\r\n\r\n" + huge;
        APIClient client{QUrl(service.url())};
        QCOMPARE(wait(client.fetchMe(QStringLiteral("token"))).error().description(), description);
    }

    void theBaseURLTakesTheAPIPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("sent");
        const QByteArray root = "GET /api/singbox/client/me ",
                         folder = "GET /v/api/singbox/client/me ";
        QTest::newRow("origin") << "" << root;
        QTest::newRow("origin with slash") << "/" << root;
        QTest::newRow("folder") << "/v/" << folder;
        QTest::newRow("folder without slash") << "/v" << folder;
    }
    void theBaseURLTakesTheAPIPath() {
        QFETCH(QString, path);
        QFETCH(QByteArray, sent);
        ScriptedServer service;
        APIClient client{QUrl(service.url() + path)};
        wait(client.fetchMe(QStringLiteral("token")));
        QVERIFY2(service.requests.value(0).startsWith(sent), service.requests.value(0).constData());
    }

    void requestsWithoutABodySayNoLength() {
        ScriptedServer service;
        APIClient client{QUrl(service.url())};
        wait(client.logout(QStringLiteral("token")));
        wait(client.deleteDevice(QStringLiteral("d"), QStringLiteral("token")));
        wait(client.fetchMe(QStringLiteral("token")));
        wait(client.requestOTP(QStringLiteral("a@b.c")));
        QCOMPARE(service.requests.size(), 4);
        for (int i = 0; i < 3; ++i) {
            const QByteArray head = service.requests[i].toLower();
            QVERIFY2(!head.contains("content-length"), head.constData());
            QVERIFY(head.contains("content-type: application/json"));
        }
        QVERIFY(service.requests[3].toLower().contains("content-length: 17"));
    }

    // Plain HTTP only to this computer: the service elsewhere is reached over TLS.
    void httpsAnywhereHttpOnlyOnLoopback_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https") << "https://api.example.net" << true;
        QTest::newRow("http remote") << "http://api.example.net" << false;
        QTest::newRow("http localhost") << "http://localhost:8787" << true;
        QTest::newRow("http 127.x") << "http://127.3.4.5:80/ip" << true;
        QTest::newRow("http ::1") << "http://[::1]:8787" << true;
        QTest::newRow("http 128.0.0.1") << "http://128.0.0.1" << false;
        QTest::newRow("http private range") << "http://10.0.0.1" << false;
        QTest::newRow("localhost lookalike") << "http://localhost.example.net" << false;
        QTest::newRow("ftp") << "ftp://127.0.0.1" << false;
        QTest::newRow("no host") << "https://" << false;
    }
    void httpsAnywhereHttpOnlyOnLoopback() {
        QFETCH(QString, url);
        QFETCH(bool, allowed);
        QCOMPARE(UrlPolicy::isAllowed(QUrl(url)), allowed);
    }
    void buildConstantsPass() { QCOMPARE(UrlPolicy::buildConstantProblems(), QStringList()); }
};

QTEST_GUILESS_MAIN(TestAPIClient)
#include "tst_apiclient.moc"
