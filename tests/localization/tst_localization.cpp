#include "localization/Localization.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace veloxa;
using T = Localization::Text;

// Every text as it stands in each language: English source, disambiguation, ru, es, de.
struct Expected {
    const char *source, *comment, *ru, *es, *de;
};
// clang-format off
const Expected texts[] = {
    {"Unexpected server response", "", "Некорректный ответ сервера", "Respuesta inesperada del servidor", "Unerwartete Serverantwort"},
    {"Device limit exceeded", "", "Превышен лимит устройств", "Límite de dispositivos superado", "Gerätelimit überschritten"},
    {"Sign-in required", "", "Требуется вход", "Inicio de sesión requerido", "Anmeldung erforderlich"},
    {"Privacy Policy", "", "Политика конфиденциальности", "Política de privacidad", "Datenschutzrichtlinie"},
    {"Terms of Use", "", "Условия использования", "Términos de uso", "Nutzungsbedingungen"},
    {"Contact Support", "", "Написать в поддержку", "Contactar soporte", "Support kontaktieren"},
    {"Subscription inactive — VPN disconnected.", "", "Подписка неактивна — VPN отключён.", "Suscripción inactiva — VPN desconectada.", "Abo inaktiv — VPN getrennt."},
    {"This device was disconnected from the account. Sign in again.", "", "Это устройство отключено от аккаунта. Войдите снова.", "Este dispositivo se desconectó de la cuenta. Inicia sesión de nuevo.", "Dieses Gerät wurde vom Konto getrennt. Melde dich erneut an."},
    {"Subscription inactive — connection unavailable. Check the status in the Account tab.", "", "Подписка неактивна — подключение недоступно. Проверьте статус во вкладке «Аккаунт».", "Suscripción inactiva — conexión no disponible. Revisa el estado en la pestaña Cuenta.", "Abo inaktiv — Verbindung nicht verfügbar. Status im Tab „Konto“ prüfen."},
    {"No configuration for this region — sign out and sign in again", "", "Конфигурация для этого региона недоступна — выйдите и войдите заново", "No hay configuración para esta región — cierra sesión y vuelve a entrar", "Keine Konfiguration für diese Region — melde dich ab und wieder an"},
    {"Session time", "", "Время сессии", "Duración de sesión", "Sitzungsdauer"},
    {"Code from email", "", "Код из письма", "Código del email", "Code aus der E-Mail"},
    {"Enter a valid email address", "", "Введите корректный email", "Introduce un email válido", "Gib eine gültige E-Mail-Adresse ein"},
    {"Checking…", "", "Проверка…", "Comprobando…", "Wird geprüft…"},
    {"Resend code", "", "Отправить код ещё раз", "Reenviar código", "Code erneut senden"},
    {"Terms of Use", "in the consent sentence", "условиями использования", "términos de uso", "Nutzungsbedingungen"},
    {"Privacy Policy", "in the consent sentence", "политикой конфиденциальности", "política de privacidad", "Datenschutzrichtlinie"},
    {"Allow the Veloxa network extension in System Settings to connect", "", "Разрешите сетевое расширение Veloxa в Системных настройках, чтобы подключиться", "Permite la extensión de red de Veloxa en Configuración del Sistema para conectar", "Erlaube die Veloxa Netzwerkerweiterung in den Systemeinstellungen, um dich zu verbinden"},
    {"Open Settings", "", "Открыть настройки", "Abrir Configuración", "Einstellungen öffnen"},
    {"Choose a device to sign out to add this Mac.", "", "Выберите устройство, которое нужно отключить, чтобы добавить этот Mac.", "Elige un dispositivo para cerrar sesión y añadir este Mac.", "Wähle ein Gerät zum Abmelden, um diesen Mac hinzuzufügen."},
    {"Activate subscription", "", "Активировать подписку", "Activar suscripción", "Abo aktivieren"},
    {"this device", "", "это устройство", "este dispositivo", "dieses Gerät"},
    {"Sign out this device? The VPN will disconnect and you'll need to sign in again.", "", "Отключить это устройство? VPN отключится, и нужно будет войти заново.", "¿Cerrar sesión en este dispositivo? La VPN se desconectará y tendrás que iniciar sesión de nuevo.", "Dieses Gerät abmelden? Das VPN wird getrennt und du musst dich erneut anmelden."},
    {"Sign out of your account? The VPN will disconnect on this device.", "", "Выйти из аккаунта? VPN на этом устройстве отключится.", "¿Cerrar sesión de tu cuenta? La VPN se desconectará en este dispositivo.", "Aus dem Konto abmelden? Das VPN wird auf diesem Gerät getrennt."},
    {"Quit Veloxa", "", "Выйти из Veloxa", "Salir de Veloxa", "Veloxa beenden"},
    {"Language", "", "Язык", "Idioma", "Sprache"},
    {"VPN", "", "VPN", "VPN", "VPN"},
    {"Account", "", "Аккаунт", "Cuenta", "Konto"},
    {"About", "", "О приложении", "Acerca de", "Info"},
    {"Connect", "", "Подключиться", "Conectar", "Verbinden"},
    {"Disconnect", "", "Отключиться", "Desconectar", "Trennen"},
    {"About Veloxa", "", "О Veloxa", "Acerca de Veloxa", "Über Veloxa"},
    {"Sign in", "", "Вход в аккаунт", "Iniciar sesión", "Anmelden"},
    {"Get code", "", "Получить код", "Obtener código", "Code anfordern"},
    {"Sending…", "", "Отправка…", "Enviando…", "Senden…"},
    {"Sign in", "button", "Войти", "Entrar", "Anmelden"},
    {"Change email", "", "Изменить email", "Cambiar email", "E-Mail ändern"},
    {"I agree to the ", "", "Я соглашаюсь с ", "Acepto los ", "Ich stimme den "},
    {" and ", "", " и ", " y la ", " und der "},
    {"Cancel", "", "Отмена", "Cancelar", "Abbrechen"},
    {"Sign out", "", "Выйти", "Cerrar sesión", "Abmelden"},
    {"Sign out", "a device", "Отключить", "Cerrar sesión", "Abmelden"},
    {"Replace", "", "Заменить", "Reemplazar", "Ersetzen"},
    {"Status:", "", "Статус:", "Estado:", "Status:"},
    {"Valid until:", "", "Действует до:", "Válido hasta:", "Gültig bis:"},
    {"Region", "", "Регион", "Región", "Region"},
    {"IP address", "", "IP-адрес", "Dirección IP", "IP-Adresse"},
    {"Traffic", "", "Трафик", "Tráfico", "Traffic"},
    {"Version %1 (%2)", "", "Версия %1 (%2)", "Versión %1 (%2)", "Version %1 (%2)"},
    {"Device limit reached (%1)", "", "Лимит устройств исчерпан (%1)", "Límite de dispositivos alcanzado (%1)", "Gerätelimit erreicht (%1)"},
    {"Devices (%1/5)", "", "Устройства (%1/5)", "Dispositivos (%1/5)", "Geräte (%1/5)"},
    {"Platform: %1", "", "Платформа: %1", "Plataforma: %1", "Plattform: %1"},
    {"Resend in %1s", "", "Повторно через %1 с", "Reenviar en %1 s", "Erneut in %1 s"},
    {"Sign out device “%1”? Its keys will stop working.", "", "Отключить устройство «%1»? Ключи перестанут работать.", "¿Cerrar sesión en el dispositivo “%1”? Sus claves dejarán de funcionar.", "Gerät „%1“ abmelden? Seine Schlüssel funktionieren dann nicht mehr."},
    {"Subscription %1 — connection unavailable", "", "Подписка %1 — подключение недоступно", "Suscripción %1 — conexión no disponible", "Abo %1 — Verbindung nicht verfügbar"},
    {"Russia", "", "Россия", "Rusia", "Russland"},
    {"Germany", "", "Германия", "Alemania", "Deutschland"},
    {"active", "subscription status", "активна", "activa", "aktiv"},
    {"expired", "subscription status", "истекла", "vencida", "abgelaufen"},
    {"inactive", "subscription status", "неактивна", "inactiva", "inaktiv"},
};
// clang-format on

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

    // Every text of the translation files, character for character, in each language; and
    // the compiled translations give C++ the same.
    void everyTextInEveryLanguage() {
        QHash<QPair<QString, QString>, const Expected*> expected;
        for (const Expected& e : texts)
            expected.insert({QString::fromUtf8(e.source), QString::fromUtf8(e.comment)}, &e);
        QSet<const Expected*> seen;
        for (const char* code : {"ru", "es", "de"}) {
            QFile file(QStringLiteral(VELOXA_TRANSLATIONS_DIR "/veloxa_%1.ts").arg(code));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QXmlStreamReader xml(&file);
            QString source, comment;
            int messages = 0;
            while (!xml.atEnd()) {
                if (xml.readNext() != QXmlStreamReader::StartElement)
                    continue;
                if (xml.name() == u"message")
                    source.clear(), comment.clear();
                else if (xml.name() == u"source")
                    source = xml.readElementText();
                else if (xml.name() == u"comment")
                    comment = xml.readElementText();
                else if (xml.name() == u"translation") {
                    ++messages;
                    QVERIFY(xml.attributes().value("type").isEmpty()); // none unfinished
                    const Expected* e = expected.value({source, comment});
                    QVERIFY2(e, qPrintable(source));
                    seen.insert(e);
                    const char* want = code == std::string_view("ru")   ? e->ru
                                       : code == std::string_view("es") ? e->es
                                                                        : e->de;
                    QCOMPARE(xml.readElementText(), QString::fromUtf8(want));
                }
            }
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QVERIFY(messages >= int(std::size(texts)));
        }
        QCOMPARE(seen.size(), qsizetype(std::size(texts))); // none lost on the way

        for (const auto& [key, de] : {std::pair{T::menuConnect, "Verbinden"},
                                      {T::subscriptionInactiveCheckAccount,
                                       "Abo inaktiv — Verbindung nicht verfügbar. Status im Tab "
                                       "„Konto“ prüfen."},
                                      {T::invalidEmail, "Gib eine gültige E-Mail-Adresse ein"}})
            QCOMPARE(Localization::text(key, AppLanguage::de), QString::fromUtf8(de));
        QCOMPARE(Localization::text(T::quitApp, AppLanguage::ru),
                 QStringLiteral("Выйти из Veloxa"));
        QCOMPARE(Localization::text(T::quitApp, AppLanguage::en), QStringLiteral("Quit Veloxa"));
        auto s = settings();
        Localization loc(s.get(), {"es"});
        QCOMPARE(loc.regionName("ru"), QStringLiteral("Rusia"));
        QCOMPARE(loc.regionName("fr"), QStringLiteral("Alemania"));
    }
};

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
