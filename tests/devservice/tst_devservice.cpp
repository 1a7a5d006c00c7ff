#include "DevService.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

using veloxa::dev::DevService;

// The one control the other tests rely on without seeing it: a scripted answer replaces
// exactly one reply, so a test that scripts a failure gets the real service back after it.
class TestDevService : public QObject {
    Q_OBJECT

    int status(QNetworkAccessManager& nam, const QUrl& url, const QByteArray& body = {}) {
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        std::unique_ptr<QNetworkReply> reply(body.isEmpty() ? nam.get(request)
                                                            : nam.post(request, body));
        if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 5000))
            return 0;
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }

private slots:
    void scriptedAnswerIsUsedOnce() {
        DevService::Options options;
        options.printCodes = false;
        DevService service(options);
        QVERIFY(service.listen(QHostAddress::LocalHost, 0));
        QNetworkAccessManager nam;
        const QString base = service.baseUrl().toString();
        QCOMPARE(status(nam, base + "/dev/next-response",
                        R"({"status":418,"body":"{}","path":"/api/singbox/client/me"})"),
                 200);
        // Another path first: the script waits for its own.
        QCOMPARE(status(nam, base + "/ip?format=json"), 200);
        QCOMPARE(status(nam, base + "/api/singbox/client/me"), 418);
        QCOMPARE(status(nam, base + "/api/singbox/client/me"), 401);
    }
};

QTEST_GUILESS_MAIN(TestDevService)
#include "tst_devservice.moc"
