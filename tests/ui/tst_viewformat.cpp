#include "localization/Localization.h"
#include "ui/ByteCountFormatter.h"
#include "ui/ViewFormat.h"

#include <QStandardPaths>
#include <QTest>
#include <QUrlQuery>

using namespace veloxa;

// Texts computed for the views: byte counts, the session clock, dates, addresses.
class TestViewFormat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { Localization::shared().setLanguage(AppLanguage::en); }

    void byteCounts_data() {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("one byte") << quint64(1) << "1 byte";
        QTest::newRow("bytes") << quint64(512) << "512 bytes";
        QTest::newRow("grouped bytes") << quint64(1023) << "1,023 bytes";
        QTest::newRow("1 KB") << quint64(1024) << "1 KB";
        QTest::newRow("1.5 KB rounds to even") << quint64(1536) << "2 KB";
        QTest::newRow("2.5 KB rounds to even") << quint64(2560) << "2 KB";
        QTest::newRow("1.5 MB") << quint64(1572864) << "1.5 MB";
        QTest::newRow("whole MB") << quint64(1048576) << "1 MB";
        QTest::newRow("almost 1 MB") << quint64(1048575) << "1 MB";
        QTest::newRow("GB two digits") << quint64(1342177280) << "1.25 GB";
        QTest::newRow("TB") << quint64(1099511627776ULL * 3) << "3 TB";
        QTest::newRow("largest signed") << quint64(9223372036854775807ULL) << "8 EB";
        QTest::newRow("largest unsigned") << quint64(18446744073709551615ULL) << "16 EB";
    }
    void byteCounts() {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(ByteCountFormatter::format(bytes), text);
    }

    void sessionCardValues() {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QCOMPARE(ViewFormat::sessionTime(now.addSecs(-3725), now), QStringLiteral("01:02:05"));
        QCOMPARE(ViewFormat::sessionTime(now.addSecs(-(100 * 3600 + 1)), now),
                 QStringLiteral("100:00:01"));
        QCOMPARE(ViewFormat::sessionTime(now.addSecs(5), now), QStringLiteral("00:00:00"));
        QCOMPARE(ViewFormat::sessionTime(QVariant::fromValue(nullptr), now), QStringLiteral("—"));
        QCOMPARE(ViewFormat::traffic(true, 0), QStringLiteral("0 KB"));
        QCOMPARE(ViewFormat::traffic(false, 1536), QStringLiteral("—"));
        QCOMPARE(ViewFormat::secondsUntil(now.addMSecs(59001), now), 60);
    }

    void accountTexts() {
        QCOMPARE(ViewFormat::capitalized(QStringLiteral("macos-arm64")),
                 QStringLiteral("Macos-Arm64"));
        QCOMPARE(ViewFormat::capitalized(QStringLiteral("LINUX x86_64")),
                 QStringLiteral("Linux X86_64"));
        const QDateTime date(QDate(2025, 6, 30), QTime(12, 0), Qt::UTC);
        QCOMPARE(ViewFormat::expiryDate(date), QStringLiteral("Jun 30, 2025"));
        Localization::shared().setLanguage(AppLanguage::de);
        QCOMPARE(ViewFormat::expiryDate(date), QStringLiteral("30.06.2025"));
        Localization::shared().setLanguage(AppLanguage::es);
        QCOMPARE(ViewFormat::expiryDate(date), QStringLiteral("30 jun 2025"));
        QCOMPARE(ViewFormat::expiryDate(QVariant::fromValue(nullptr)), QStringLiteral("—"));
    }

    void pricingAddress() {
        const QString root = ViewFormat::websiteURL(QString()).toString();
        QCOMPARE(ViewFormat::pricingURL(QStringLiteral("anna@example.com")).toString(),
                 root + QStringLiteral("/en?email=anna@example.com#pricing"));
        Localization::shared().setLanguage(AppLanguage::ru);
        const QUrl ru = ViewFormat::pricingURL(QStringLiteral("a b&c=d@example.com"));
        QCOMPARE(ru.path(), QStringLiteral("/ru"));
        QCOMPARE(ru.fragment(), QStringLiteral("pricing"));
        QCOMPARE(QUrlQuery(ru).queryItemValue(QStringLiteral("email"), QUrl::FullyDecoded),
                 QStringLiteral("a b&c=d@example.com"));
        Localization::shared().setLanguage(AppLanguage::es);
        QCOMPARE(ViewFormat::pricingURL(QStringLiteral("x@y.z")).path(), QStringLiteral("/en"));
        QVERIFY(ViewFormat::supportURL().toString().startsWith(QStringLiteral("mailto:")));
    }
};

QTEST_GUILESS_MAIN(TestViewFormat)
#include "tst_viewformat.moc"
