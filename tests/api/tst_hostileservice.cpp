#include "api/APIClient.h"
#include "api/UrlPolicy.h"
#include "localization/Localization.h"

#include <QCoro/QCoroTask>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace veloxa;
using Kind = APIError::Kind;

namespace {
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

// The API client against a service that answers as no honest one would.
class TestHostileService : public QObject {
    Q_OBJECT

    template <class T> static T wait(QCoro::Task<T>&& task) {
        return QCoro::waitFor(std::move(task));
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        Localization::shared().setLanguage(AppLanguage::en);
    }

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

QTEST_GUILESS_MAIN(TestHostileService)
#include "tst_hostileservice.moc"
