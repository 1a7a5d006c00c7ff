#include "platform/Bundle.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace veloxa;

class TestBundle : public QObject {
    Q_OBJECT
private slots:
    void readsTheBuiltBundle() {
        const QString dir = qEnvironmentVariable("VELOXA_BUNDLE_DIR");
        const auto bundle = Bundle::load(dir);
        QVERIFY(bundle);
        QCOMPARE(bundle->stringValue("CFBundleName"), QStringLiteral("Veloxa"));
        QVERIFY(!bundle->bundleIdentifier().isEmpty());
        QVERIFY(bundle->stringValue("AppGroupIdentifier"));
        QVERIFY(bundle->stringValue("CFBundleShortVersionString"));
        QVERIFY(bundle->stringValue("CFBundleVersion"));
        QVERIFY(bundle->bundleURL().toLocalFile().endsWith(QStringLiteral("Veloxa.app/")));
        QVERIFY(QFile::exists(bundle->path(QStringLiteral("Contents/MacOS/veloxa"))));
    }

    void propertyListValues() {
        const QByteArray xml = R"(<?xml version="1.0"?><plist version="1.0"><dict>
            <key>s</key><string>a &amp; b</string><key>i</key><integer>-42</integer>
            <key>b</key><true/><key>r</key><real>1.5</real>
            <key>a</key><array><string>x</string><false/></array>
            <key>d</key><dict><key>k</key><string>v</string></dict></dict></plist>)";
        const auto info = Bundle::parsePropertyList(xml);
        QVERIFY(info);
        QCOMPARE(info->value("s").toString(), QStringLiteral("a & b"));
        QCOMPARE(info->value("i").toLongLong(), -42);
        QCOMPARE(info->value("b").toBool(), true);
        QCOMPARE(info->value("a").toList().size(), 2);
        QCOMPARE(info->value("d").toMap().value("k").toString(), QStringLiteral("v"));

        QString error;
        QVERIFY(!Bundle::parsePropertyList("<plist><array/></plist>", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!Bundle::parsePropertyList("<plist><dict><key>x</key></dict></plist>"));
        QVERIFY(!Bundle::parsePropertyList(
            "<plist><dict><key>x</key><integer>z</integer></dict></plist>"));
        QVERIFY(!Bundle::parsePropertyList("garbage"));
    }

    void missingAndMistypedKeys() {
        const Bundle bundle({{"CFBundleIdentifier", 5}, {"CFBundleName", QStringLiteral("X")}},
                            QUrl::fromLocalFile(QStringLiteral("/tmp/X.app/")));
        QCOMPARE(bundle.bundleIdentifier(), QString());
        QCOMPARE(bundle.stringValue("AppGroupIdentifier"), std::nullopt);
        QCOMPARE(bundle.stringValue("CFBundleName"), QStringLiteral("X"));

        QTemporaryDir dir;
        QVERIFY(!Bundle::load(dir.path())); // no Info.plist
    }
};

QTEST_GUILESS_MAIN(TestBundle)
#include "tst_bundle.moc"
