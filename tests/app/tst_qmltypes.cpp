#include "app/DeviceListModel.h"
#include "localization/Localization.h"
#include "ui/ByteCountFormatter.h"
#include "ui/ViewFormat.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QXmlStreamReader>

using namespace veloxa;
using T = Localization::Text;

namespace {
// "A" is device A named "A"; "A=Studio" names it Studio.
QList<DeviceSummary> devices(const QStringList& specs) {
    QList<DeviceSummary> out;
    for (const QString& spec : specs)
        out << DeviceSummary{spec.section(u'=', 0, 0), spec.section(u'=', -1),
                             QStringLiteral("p"),      {},
                             QStringLiteral("c"),      std::nullopt};
    return out;
}
} // namespace

// What the views are given: the interface language and its texts, the device list as a
// model that changes in place, and the texts computed for them.
class TestQmlTypes : public QObject {
    Q_OBJECT

    // The language tests' settings file, removed before each test.
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings() {
        return std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")),
                                           QSettings::IniFormat);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QFile::remove(dir.filePath(QStringLiteral("settings.ini"))); }
    void cleanup() { Localization::shared().setLanguage(AppLanguage::en); }
    void deviceListChangesInPlace_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("thisDevice");
        QTest::addColumn<QStringList>("announced");
        const QStringList abc{"A", "B", "C"};
        QTest::newRow("unchanged") << abc << abc << "" << QStringList();
        QTest::newRow("renamed") << abc << QStringList{"A", "B=Bee", "C"} << ""
                                 << QStringList{"change 1-1"};
        QTest::newRow("removed") << abc << QStringList{"A", "C"} << "" << QStringList{"remove 1-1"};
        QTest::newRow("added") << abc << QStringList{"A", "D", "B", "C"} << ""
                               << QStringList{"insert 1-1"};
        QTest::newRow("reordered")
            << abc << QStringList{"C", "A", "B"} << "" << QStringList{"move 2>0"};
        QTest::newRow("this device first")
            << abc << abc << "C" << QStringList{"move 2>0", "change 0-2"};
        QTest::newRow("listed twice") << QStringList{"A", "B", "A"} << QStringList{"A", "B"} << ""
                                      << QStringList{"remove 2-2"};
    }
    void deviceListChangesInPlace() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QString, thisDevice);
        QFETCH(QStringList, announced);
        DeviceListModel list(true);
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.setDevices(devices(before), {});
        QStringList said;
        const auto range = [&](const char* what) {
            return [&said, what](const QModelIndex&, int first, int last) {
                said << QStringLiteral("%1 %2-%3").arg(QLatin1String(what)).arg(first).arg(last);
            };
        };
        connect(&list, &QAbstractItemModel::rowsInserted, this, range("insert"));
        connect(&list, &QAbstractItemModel::rowsRemoved, this, range("remove"));
        connect(&list, &QAbstractItemModel::modelReset, this, [&] { said << "reset"; });
        connect(&list, &QAbstractItemModel::rowsMoved, this,
                [&](const QModelIndex&, int from, int, const QModelIndex&, int to) {
                    said << QStringLiteral("move %1>%2").arg(from).arg(to);
                });
        connect(&list, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& first, const QModelIndex& last) {
                    said << QStringLiteral("change %1-%2").arg(first.row()).arg(last.row());
                });
        list.setDevices(devices(after), thisDevice);
        QCOMPARE(said, announced);
        // The rows read as the new list, this device first.
        std::stable_partition(after.begin(), after.end(),
                              [&](const QString& spec) { return spec.startsWith(thisDevice); });
        QStringList rows;
        for (int row = 0; row < list.rowCount(); ++row) {
            const auto at = list.index(row);
            const QString id = list.data(at, DeviceListModel::deviceUuidRole).toString();
            const QString name = list.data(at, DeviceListModel::deviceNameRole).toString();
            rows << (name == id ? id : id + u'=' + name);
            QCOMPARE(list.data(at, DeviceListModel::isThisDeviceRole).toBool(), id == thisDevice);
        }
        QCOMPARE(rows, after);
    }

    // Texts computed for the views: byte counts, the session clock, dates, addresses.
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
    }

    // The interface language: the system's rule, the stored choice, the translations.
    void systemRule_data() {
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<QString>("expected");
        QTest::newRow("de-CH") << QStringList{"de-CH", "en"} << "de";
        QTest::newRow("es-419") << QStringList{"es-419"} << "es";
        QTest::newRow("uk-UA") << QStringList{"uk-UA", "ru-RU"} << "en";
        QTest::newRow("empty") << QStringList{} << "en";
        QTest::newRow("ru") << QStringList{"ru"} << "ru";
        QTest::newRow("case-sensitive") << QStringList{"DE-de"} << "en";
        QTest::newRow("pt-BR") << QStringList{"pt-BR"} << "en";
    }
    void systemRule() {
        QFETCH(QStringList, preferred);
        QFETCH(QString, expected);
        auto s = settings();
        Localization loc(s.get(), preferred);
        QCOMPARE(loc.languageCode(), expected);
        QVERIFY(!s->contains(QLatin1String(Localization::settingsKey))); // not written back
    }

    void storedChoiceWinsAndPersists() {
        auto s = settings();
        s->setValue(QLatin1String(Localization::settingsKey), QStringLiteral("ru"));
        QCOMPARE(Localization(s.get(), {"de-DE"}).language(), AppLanguage::ru);
        s->setValue(QLatin1String(Localization::settingsKey), QStringLiteral("fr"));
        QCOMPARE(Localization(s.get(), {"de-DE"}).language(), AppLanguage::de);
        s->setValue(QLatin1String(Localization::settingsKey), QStringLiteral("EN"));
        QCOMPARE(Localization(s.get(), {"es"}).language(), AppLanguage::es);

        {
            Localization loc(s.get(), {"de-DE"});
            QSignalSpy changed(&loc, &Localization::languageChanged);
            loc.setLanguage(AppLanguage::es);
            QCOMPARE(changed.count(), 1);
            QCOMPARE(loc.text(T::menuConnect), QStringLiteral("Conectar"));
            loc.setLanguage(AppLanguage::es); // same value: stored again, no change signal
            QCOMPARE(changed.count(), 1);
            loc.setLanguageCode(QStringLiteral("xx"));
            QCOMPARE(loc.language(), AppLanguage::es);
        }
        auto reopened = settings();
        QCOMPARE(reopened->value(QLatin1String(Localization::settingsKey)).toString(),
                 QStringLiteral("es"));
        QCOMPARE(Localization(reopened.get(), {"en"}).language(), AppLanguage::es);
    }

    // Every translation is finished, non-empty and keeps its source's placeholders, and the
    // catalogue compiled into the program gives C++ what the files hold.
    void translationsComplete() {
        static const QRegularExpression placeholder(QStringLiteral("%\\d"));
        auto placeholders = [](const QString& text) {
            QStringList found;
            for (const auto& match : placeholder.globalMatch(text))
                found << match.captured();
            found.sort();
            return found;
        };
        for (const AppLanguage language : {AppLanguage::ru, AppLanguage::es, AppLanguage::de}) {
            const QString code = applanguage::rawValue(language);
            QFile file(QStringLiteral(VELOXA_TRANSLATIONS_DIR "/veloxa_%1.ts").arg(code));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QXmlStreamReader xml(&file);
            QString context, source, comment;
            int checked = 0;
            while (!xml.atEnd()) {
                if (xml.readNext() != QXmlStreamReader::StartElement)
                    continue;
                if (xml.name() == u"name")
                    context = xml.readElementText();
                else if (xml.name() == u"message")
                    source.clear(), comment.clear();
                else if (xml.name() == u"source")
                    source = xml.readElementText();
                else if (xml.name() == u"comment")
                    comment = xml.readElementText();
                else if (xml.name() == u"translation") {
                    const QString where = code + QStringLiteral(": ") + source;
                    const auto type = xml.attributes().value("type");
                    if (type == u"vanished" || type == u"obsolete")
                        continue;
                    QVERIFY2(type.isEmpty(), qPrintable(where + QStringLiteral(" is unfinished")));
                    const QString translation = xml.readElementText();
                    QVERIFY2(!translation.trimmed().isEmpty(), qPrintable(where));
                    QCOMPARE(placeholders(translation), placeholders(source));
                    if (context == u"Localization") {
                        const QByteArray s = source.toUtf8(), c = comment.toUtf8();
                        QCOMPARE(Localization::translate(language, s.constData(),
                                                         c.isEmpty() ? nullptr : c.constData()),
                                 translation);
                    }
                    ++checked;
                }
            }
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QVERIFY(checked > 0);
            for (int key = 0; key < int(T::count_); ++key)
                QVERIFY(!Localization::text(T(key), language).isEmpty());
        }
        auto s = settings();
        Localization loc(s.get(), {"es"});
        QCOMPARE(loc.regionName("ru"), QStringLiteral("Rusia"));
        QCOMPARE(loc.regionName("fr"), QStringLiteral("Alemania"));
    }
};

QTEST_GUILESS_MAIN(TestQmlTypes)
#include "tst_qmltypes.moc"
