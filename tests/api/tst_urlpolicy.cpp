#include "api/UrlPolicy.h"

#include <QTest>

using veloxa::UrlPolicy;

class TestUrlPolicy : public QObject {
    Q_OBJECT
private slots:
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

QTEST_GUILESS_MAIN(TestUrlPolicy)
#include "tst_urlpolicy.moc"
