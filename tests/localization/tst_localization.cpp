#include "localization/Localization.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

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

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
