#include "Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <QSettings>
#include <array>

namespace veloxa {

namespace {

struct Entry {
    const char* key;
    const char* en;
    const char* ru;
    const char* es;
    const char* de;
};

using T = Localization::Text;

// clang-format off
constexpr std::array<Entry, static_cast<size_t>(T::count_)> table{{
    {"errorUnexpectedResponse", "Unexpected server response", "Некорректный ответ сервера", "Respuesta inesperada del servidor", "Unerwartete Serverantwort"},
    {"errorDeviceLimit", "Device limit exceeded", "Превышен лимит устройств", "Límite de dispositivos superado", "Gerätelimit überschritten"},
    {"errorSignInRequired", "Sign-in required", "Требуется вход", "Inicio de sesión requerido", "Anmeldung erforderlich"},
    {"privacyPolicy", "Privacy Policy", "Политика конфиденциальности", "Política de privacidad", "Datenschutzrichtlinie"},
    {"termsOfUse", "Terms of Use", "Условия использования", "Términos de uso", "Nutzungsbedingungen"},
    {"contactSupport", "Contact Support", "Написать в поддержку", "Contactar soporte", "Support kontaktieren"},
    {"subscriptionInactiveDisconnected", "Subscription inactive — VPN disconnected.", "Подписка неактивна — VPN отключён.", "Suscripción inactiva — VPN desconectada.", "Abo inaktiv — VPN getrennt."},
    {"deviceDisconnected", "This device was disconnected from the account. Sign in again.", "Это устройство отключено от аккаунта. Войдите снова.", "Este dispositivo se desconectó de la cuenta. Inicia sesión de nuevo.", "Dieses Gerät wurde vom Konto getrennt. Melde dich erneut an."},
    {"subscriptionInactiveCheckAccount", "Subscription inactive — connection unavailable. Check the status in the Account tab.", "Подписка неактивна — подключение недоступно. Проверьте статус во вкладке «Аккаунт».", "Suscripción inactiva — conexión no disponible. Revisa el estado en la pestaña Cuenta.", "Abo inaktiv — Verbindung nicht verfügbar. Status im Tab „Konto“ prüfen."},
    {"noConfigForRegion", "No configuration for this region — sign out and sign in again", "Конфигурация для этого региона недоступна — выйдите и войдите заново", "No hay configuración para esta región — cierra sesión y vuelve a entrar", "Keine Konfiguration für diese Region — melde dich ab und wieder an"},
    {"sessionTime", "Session time", "Время сессии", "Duración de sesión", "Sitzungsdauer"},
    {"codeFromEmail", "Code from email", "Код из письма", "Código del email", "Code aus der E-Mail"},
    {"invalidEmail", "Enter a valid email address", "Введите корректный email", "Introduce un email válido", "Gib eine gültige E-Mail-Adresse ein"},
    {"checking", "Checking…", "Проверка…", "Comprobando…", "Wird geprüft…"},
    {"resendCode", "Resend code", "Отправить код ещё раз", "Reenviar código", "Code erneut senden"},
    {"termsOfUseInSentence", "Terms of Use", "условиями использования", "términos de uso", "Nutzungsbedingungen"},
    {"privacyPolicyInSentence", "Privacy Policy", "политикой конфиденциальности", "política de privacidad", "Datenschutzrichtlinie"},
    {"allowExtension", "Allow the Veloxa network extension in System Settings to connect", "Разрешите сетевое расширение Veloxa в Системных настройках, чтобы подключиться", "Permite la extensión de red de Veloxa en Configuración del Sistema para conectar", "Erlaube die Veloxa Netzwerkerweiterung in den Systemeinstellungen, um dich zu verbinden"},
    {"openSettings", "Open Settings", "Открыть настройки", "Abrir Configuración", "Einstellungen öffnen"},
    {"chooseDeviceToReplace", "Choose a device to sign out to add this Mac.", "Выберите устройство, которое нужно отключить, чтобы добавить этот Mac.", "Elige un dispositivo para cerrar sesión y añadir este Mac.", "Wähle ein Gerät zum Abmelden, um diesen Mac hinzuzufügen."},
    {"activateSubscription", "Activate subscription", "Активировать подписку", "Activar suscripción", "Abo aktivieren"},
    {"thisDevice", "this device", "это устройство", "este dispositivo", "dieses Gerät"},
    {"signOutThisDeviceConfirm", "Sign out this device? The VPN will disconnect and you'll need to sign in again.", "Отключить это устройство? VPN отключится, и нужно будет войти заново.", "¿Cerrar sesión en este dispositivo? La VPN se desconectará y tendrás que iniciar sesión de nuevo.", "Dieses Gerät abmelden? Das VPN wird getrennt und du musst dich erneut anmelden."},
    {"signOutAccountConfirm", "Sign out of your account? The VPN will disconnect on this device.", "Выйти из аккаунта? VPN на этом устройстве отключится.", "¿Cerrar sesión de tu cuenta? La VPN se desconectará en este dispositivo.", "Aus dem Konto abmelden? Das VPN wird auf diesem Gerät getrennt."},
    {"quitApp", "Quit Veloxa", "Выйти из Veloxa", "Salir de Veloxa", "Veloxa beenden"},
    {"languageTitle", "Language", "Язык", "Idioma", "Sprache"},
    {"tabVPN", "VPN", "VPN", "VPN", "VPN"},
    {"tabAccount", "Account", "Аккаунт", "Cuenta", "Konto"},
    {"tabAbout", "About", "О приложении", "Acerca de", "Info"},
    {"menuConnect", "Connect", "Подключиться", "Conectar", "Verbinden"},
    {"menuDisconnect", "Disconnect", "Отключиться", "Desconectar", "Trennen"},
    {"menuAbout", "About Veloxa", "О Veloxa", "Acerca de Veloxa", "Über Veloxa"},
    {"signInTitle", "Sign in", "Вход в аккаунт", "Iniciar sesión", "Anmelden"},
    {"getCode", "Get code", "Получить код", "Obtener código", "Code anfordern"},
    {"sending", "Sending…", "Отправка…", "Enviando…", "Senden…"},
    {"signInButton", "Sign in", "Войти", "Entrar", "Anmelden"},
    {"changeEmail", "Change email", "Изменить email", "Cambiar email", "E-Mail ändern"},
    {"consentPrefix", "I agree to the ", "Я соглашаюсь с ", "Acepto los ", "Ich stimme den "},
    {"consentAnd", " and ", " и ", " y la ", " und der "},
    {"cancelButton", "Cancel", "Отмена", "Cancelar", "Abbrechen"},
    {"signOutButton", "Sign out", "Выйти", "Cerrar sesión", "Abmelden"},
    {"signOutDeviceButton", "Sign out", "Отключить", "Cerrar sesión", "Abmelden"},
    {"replaceButton", "Replace", "Заменить", "Reemplazar", "Ersetzen"},
    {"statusTitle", "Status:", "Статус:", "Estado:", "Status:"},
    {"validUntil", "Valid until:", "Действует до:", "Válido hasta:", "Gültig bis:"},
    {"regionTitle", "Region", "Регион", "Región", "Region"},
    {"ipAddressTitle", "IP address", "IP-адрес", "Dirección IP", "IP-Adresse"},
    {"trafficTitle", "Traffic", "Трафик", "Tráfico", "Traffic"},
}};
// clang-format on

// Picks one of four translations by language.
QString pick(AppLanguage language, const char* en, const char* ru, const char* es, const char* de) {
    switch (language) {
    case AppLanguage::en:
        return QString::fromUtf8(en);
    case AppLanguage::ru:
        return QString::fromUtf8(ru);
    case AppLanguage::es:
        return QString::fromUtf8(es);
    case AppLanguage::de:
        return QString::fromUtf8(de);
    }
    return QString::fromUtf8(en);
}

} // namespace

Localization::Localization(QSettings* settings, const QStringList& preferredLanguages,
                           QObject* parent)
    : QObject(parent), m_settings(settings) {
    const QString stored = m_settings->value(QLatin1String(settingsKey)).toString();
    if (auto language = applanguage::fromRawValue(stored))
        m_language = *language;
    else
        m_language = applanguage::fromSystemPreference(preferredLanguages);
    applyQtTranslations();
}

void Localization::applyQtTranslations() {
    // Qt's own texts (network errors, standard buttons) follow the interface language.
    if (!QCoreApplication::instance())
        return;
    if (m_qtTranslator)
        QCoreApplication::removeTranslator(m_qtTranslator.get());
    m_qtTranslator = std::make_unique<QTranslator>();
    if (m_qtTranslator->load(QStringLiteral("qtbase_") + applanguage::rawValue(m_language),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(m_qtTranslator.get());
}

Localization::~Localization() = default;

Localization& Localization::shared() {
    static Localization* instance = [] {
        auto* settings = new QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Veloxa"), QStringLiteral("Veloxa"));
        auto* loc = new Localization(settings, QLocale::system().uiLanguages());
        loc->m_ownedSettings.reset(settings);
        return loc;
    }();
    return *instance;
}

void Localization::setLanguage(AppLanguage language) {
    const bool changed = language != m_language;
    m_language = language;
    // An explicit choice is always written, also when it repeats the current one.
    m_settings->setValue(QLatin1String(settingsKey), applanguage::rawValue(language));
    m_settings->sync();
    if (changed) {
        applyQtTranslations();
        emit languageChanged();
    }
}

void Localization::setLanguageCode(const QString& code) {
    if (auto language = applanguage::fromRawValue(code))
        setLanguage(*language);
}

QLocale Localization::locale() const {
    return QLocale(applanguage::localeIdentifier(m_language));
}

QString Localization::text(Text key, AppLanguage language) {
    const auto index = static_cast<size_t>(key);
    if (index >= table.size())
        return {};
    const Entry& e = table[index];
    return pick(language, e.en, e.ru, e.es, e.de);
}

QString Localization::text(Text key) const {
    return text(key, m_language);
}

QString Localization::key(Text key) {
    const auto index = static_cast<size_t>(key);
    return index < table.size() ? QString::fromLatin1(table[index].key) : QString();
}

QVariantMap Localization::strings() const {
    QVariantMap map;
    for (size_t i = 0; i < table.size(); ++i)
        map.insert(QString::fromLatin1(table[i].key), text(static_cast<Text>(i)));
    return map;
}

QVariantList Localization::languages() const {
    QVariantList list;
    for (AppLanguage language : applanguage::all())
        list << QVariantMap{{QStringLiteral("code"), applanguage::rawValue(language)},
                            {QStringLiteral("displayName"), applanguage::displayName(language)}};
    return list;
}

QString Localization::versionLabel(const QString& version, const QString& build) const {
    return pick(m_language, "Version ", "Версия ", "Versión ", "Version ") + version +
           QStringLiteral(" (") + build + u')';
}

QString Localization::deviceLimitTitle(qint64 n) const {
    return pick(m_language, "Device limit reached (", "Лимит устройств исчерпан (",
                "Límite de dispositivos alcanzado (", "Gerätelimit erreicht (") +
           QString::number(n) + u')';
}

QString Localization::devicesHeader(qint64 count) const {
    return pick(m_language, "Devices (", "Устройства (", "Dispositivos (", "Geräte (") +
           QString::number(count) + QStringLiteral("/5)");
}

QString Localization::platformLabel(const QString& platform) const {
    return pick(m_language, "Platform: ", "Платформа: ", "Plataforma: ", "Plattform: ") + platform;
}

QString Localization::resendIn(qint64 seconds) const {
    const QString n = QString::number(seconds);
    return pick(m_language, "Resend in ", "Повторно через ", "Reenviar en ", "Erneut in ") + n +
           pick(m_language, "s", " с", " s", " s");
}

QString Localization::signOutDeviceConfirm(const QString& name) const {
    return pick(m_language, "Sign out device “", "Отключить устройство «",
                "¿Cerrar sesión en el dispositivo “", "Gerät „") +
           name +
           pick(m_language, "”? Its keys will stop working.", "»? Ключи перестанут работать.",
                "”? Sus claves dejarán de funcionar.",
                "“ abmelden? Seine Schlüssel funktionieren dann nicht mehr.");
}

QString Localization::subscriptionUnavailable(const QString& status) const {
    return pick(m_language, "Subscription ", "Подписка ", "Suscripción ", "Abo ") +
           subscriptionStatusName(status) +
           pick(m_language, " — connection unavailable", " — подключение недоступно",
                " — conexión no disponible", " — Verbindung nicht verfügbar");
}

QString Localization::regionName(const QString& region) const {
    if (region == u"ru")
        return pick(m_language, "Russia", "Россия", "Rusia", "Russland");
    return pick(m_language, "Germany", "Германия", "Alemania", "Deutschland");
}

QString Localization::subscriptionStatusName(const QString& status) const {
    if (status == u"active")
        return pick(m_language, "active", "активна", "activa", "aktiv");
    if (status == u"expired")
        return pick(m_language, "expired", "истекла", "vencida", "abgelaufen");
    return pick(m_language, "inactive", "неактивна", "inactiva", "inaktiv");
}

} // namespace veloxa
