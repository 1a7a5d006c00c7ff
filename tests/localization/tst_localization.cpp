#include "localization/Localization.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace veloxa;
using T = Localization::Text;

class TestLocalization : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings() {
        return std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")),
                                           QSettings::IniFormat);
    }

private slots:
    void init() { QFile::remove(dir.filePath(QStringLiteral("settings.ini"))); }

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
            QCOMPARE(loc.text(T::tabAccount), QStringLiteral("Cuenta"));
            QCOMPARE(loc.strings().value("tabAbout").toString(), QStringLiteral("Acerca de"));
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

    void languagesAndLocales() {
        QStringList names;
        for (AppLanguage l : applanguage::all())
            names << applanguage::displayName(l);
        QCOMPARE(names, (QStringList{"English", "Русский", "Español", "Deutsch"}));
        auto s = settings();
        Localization loc(s.get(), {"de"});
        QCOMPARE(loc.locale().name(), QStringLiteral("de_DE"));
        QCOMPARE(applanguage::fromRawValue(QStringLiteral("ES")), std::nullopt);
    }

    void textsWithArguments() {
        auto s = settings();
        Localization loc(s.get(), {"en"});
        QCOMPARE(loc.resendIn(30), QStringLiteral("Resend in 30s"));
        QCOMPARE(loc.versionLabel("1.2", "7"), QStringLiteral("Version 1.2 (7)"));
        QCOMPARE(loc.signOutDeviceConfirm("Studio"),
                 QStringLiteral("Sign out device “Studio”? Its keys will stop working."));
        QCOMPARE(loc.subscriptionUnavailable("Active"),
                 QStringLiteral("Subscription inactive — connection unavailable"));
        loc.setLanguage(AppLanguage::de);
        QCOMPARE(loc.resendIn(30), QStringLiteral("Erneut in 30 s"));
        QCOMPARE(loc.devicesHeader(3), QStringLiteral("Geräte (3/5)"));
        QCOMPARE(loc.signOutDeviceConfirm("Studio"),
                 QStringLiteral(
                     "Gerät „Studio“ abmelden? Seine Schlüssel funktionieren dann nicht mehr."));
        QCOMPARE(loc.text(T::subscriptionInactiveCheckAccount),
                 QStringLiteral(
                     "Abo inaktiv — Verbindung nicht verfügbar. Status im Tab „Konto“ prüfen."));
        loc.setLanguage(AppLanguage::ru);
        QCOMPARE(loc.deviceLimitTitle(5), QStringLiteral("Лимит устройств исчерпан (5)"));
        QCOMPARE(loc.subscriptionUnavailable("expired"),
                 QStringLiteral("Подписка истекла — подключение недоступно"));
        QCOMPARE(loc.text(T::signOutButton), QStringLiteral("Выйти"));
        QCOMPARE(loc.text(T::signOutDeviceButton), QStringLiteral("Отключить"));
        QCOMPARE(loc.resendIn(9), QStringLiteral("Повторно через 9 с"));
        loc.setLanguage(AppLanguage::es);
        QCOMPARE(loc.regionName("ru"), QStringLiteral("Rusia"));
        QCOMPARE(loc.regionName("fr"), QStringLiteral("Alemania"));
        QCOMPARE(loc.platformLabel("Macos-Arm64"), QStringLiteral("Plataforma: Macos-Arm64"));
        QCOMPARE(loc.subscriptionStatusName("Active"), QStringLiteral("inactiva"));
        QCOMPARE(loc.text(T::consentPrefix) + loc.text(T::termsOfUseInSentence) +
                     loc.text(T::consentAnd) + loc.text(T::privacyPolicyInSentence),
                 QStringLiteral("Acepto los términos de uso y la política de privacidad"));
    }

    void everyTextIsTranslatedEverywhere() {
        for (int i = 0; i < int(T::count_); ++i)
            for (AppLanguage l : applanguage::all())
                QVERIFY2(!Localization::text(T(i), l).isEmpty(),
                         qPrintable(Localization::key(T(i))));
        QCOMPARE(Localization::key(T::trafficTitle), QStringLiteral("trafficTitle"));
    }
};

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
