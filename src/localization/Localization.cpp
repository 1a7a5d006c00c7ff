#include "Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QQmlEngine>
#include <QTranslator>

#include <QRegularExpression>
#include <QSettings>
#include <array>

namespace veloxa {

namespace {

using T = Localization::Text;
constexpr const char* context = "Localization";

// The English source of each text C++ shows, in the order of Localization::Text.
constexpr std::array<const char*, static_cast<size_t>(T::count_)> sources{{
    QT_TRANSLATE_NOOP("Localization", "Unexpected server response"),
    QT_TRANSLATE_NOOP("Localization", "Device limit exceeded"),
    QT_TRANSLATE_NOOP("Localization", "Sign-in required"),
    QT_TRANSLATE_NOOP("Localization", "Subscription inactive — VPN disconnected."),
    QT_TRANSLATE_NOOP("Localization",
                      "This device was disconnected from the account. Sign in again."),
    QT_TRANSLATE_NOOP("Localization", "Subscription inactive — connection unavailable. Check "
                                      "the status in the Account tab."),
    QT_TRANSLATE_NOOP("Localization",
                      "No configuration for this region — sign out and sign in again"),
    QT_TRANSLATE_NOOP("Localization", "Enter a valid email address"),
    QT_TRANSLATE_NOOP("Localization", "Quit Veloxa"),
    QT_TRANSLATE_NOOP("Localization", "Connect"),
    QT_TRANSLATE_NOOP("Localization", "Disconnect"),
    QT_TRANSLATE_NOOP("Localization", "About Veloxa"),
    QT_TRANSLATE_NOOP("Localization", "Veloxa connection lost — reconnecting"),
    QT_TRANSLATE_NOOP("Localization", "Traffic is held until the VPN is back."),
    QT_TRANSLATE_NOOP("Localization", "Veloxa connection restored"),
    QT_TRANSLATE_NOOP("Localization", "Traffic goes through the VPN again."),
    QT_TRANSLATE_NOOP("Localization",
                      "Start the Veloxa tunnel service on this computer to connect"),
    QT_TRANSLATE_NOOP("Localization", "Disconnect first to change the region"),
}};

// The fixed English messages of the tunnel service and of its client that can reach the
// user, as the service writes them ("%1": the part it fills in).
constexpr std::array serviceSources{
    QT_TRANSLATE_NOOP("Localization", "The Veloxa tunnel service is not running"),
    QT_TRANSLATE_NOOP("Localization", "The Veloxa tunnel service cannot be reached: %1"),
    QT_TRANSLATE_NOOP("Localization", "The tunnel service refused the request"),
    QT_TRANSLATE_NOOP("Localization", "Could not start tunnel session"),
    QT_TRANSLATE_NOOP("Localization", "No such configuration"),
    QT_TRANSLATE_NOOP("Localization", "The VPN configuration is disabled"),
    QT_TRANSLATE_NOOP("Localization", "The VPN configuration has no tunnel settings"),
    QT_TRANSLATE_NOOP("Localization", "No tunnel engine command is configured"),
    QT_TRANSLATE_NOOP("Localization", "The tunnel engine \"%1\" was not found on this computer"),
    QT_TRANSLATE_NOOP("Localization", "The tunnel engine could not be started: %1"),
    QT_TRANSLATE_NOOP("Localization", "The tunnel engine did not become ready in time"),
    QT_TRANSLATE_NOOP("Localization", "The tunnel engine crashed"),
    QT_TRANSLATE_NOOP("Localization", "The tunnel engine exited with code %1"),
    QT_TRANSLATE_NOOP("Localization", "Another user's VPN connection is active on this computer"),
    QT_TRANSLATE_NOOP("Localization", "The network interface \"%1\" already exists"),
    QT_TRANSLATE_NOOP("Localization", "Cannot write the tunnel settings: %1"),
    QT_TRANSLATE_NOOP("Localization", "The VPN configuration's tunnel settings may not use \"%1\""),
    QT_TRANSLATE_NOOP("Localization",
                      "The VPN configuration's tunnel settings have an unusable value at \"%1\""),
    QT_TRANSLATE_NOOP("Localization",
                      "The VPN configuration's tunnel settings name \"%1\" more than once"),
    QT_TRANSLATE_NOOP("Localization", "The VPN configuration's tunnel settings have too many "
                                      "WireGuard prefixes at \"%1\" (at most 256 in all)"),
    QT_TRANSLATE_NOOP("Localization",
                      "The VPN configuration's tunnel settings are not a JSON object"),
    QT_TRANSLATE_NOOP("Localization", "The VPN configuration needs exactly one tun inbound"),
};

// Our compiled translations, one per language other than English, loaded once and shared
// by the C++ lookups and the installed translator.
QTranslator* translator(AppLanguage language) {
    static const auto loaded = [] {
        std::array<std::unique_ptr<QTranslator>, 4> all;
        for (AppLanguage l : applanguage::all()) {
            if (l == AppLanguage::en)
                continue;
            auto t = std::make_unique<QTranslator>();
            if (t->load(QStringLiteral(":/i18n/veloxa_") + applanguage::rawValue(l) +
                        QStringLiteral(".qm")))
                all[static_cast<size_t>(l)] = std::move(t);
        }
        return all;
    }();
    return loaded[static_cast<size_t>(language)].get();
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
    installTranslators();
}

void Localization::installTranslators() {
    // Qt's own texts (network errors, standard buttons) and the views' texts follow the
    // interface language; English is the source language and needs none of ours.
    if (!QCoreApplication::instance())
        return;
    if (m_qtTranslator) {
        QCoreApplication::removeTranslator(m_qtTranslator.get());
        m_qtTranslator.reset();
    }
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QStringLiteral("qtbase_") + applanguage::rawValue(m_language),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        m_qtTranslator = std::move(qt);
    }
    if (m_appTranslator)
        QCoreApplication::removeTranslator(m_appTranslator);
    m_appTranslator = translator(m_language); // none for English, the source language
    if (m_appTranslator)
        QCoreApplication::installTranslator(m_appTranslator);
}

Localization::~Localization() {
    if (m_appTranslator && QCoreApplication::instance())
        QCoreApplication::removeTranslator(m_appTranslator); // shared: only taken out
}

Localization* Localization::create(QQmlEngine*, QJSEngine*) {
    Localization* instance = &shared();
    QQmlEngine::setObjectOwnership(instance, QQmlEngine::CppOwnership);
    return instance;
}

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
        installTranslators();
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

QString Localization::translate(AppLanguage language, const char* source,
                                const char* disambiguation) {
    const QTranslator* t = translator(language);
    const QString translated = t ? t->translate(context, source, disambiguation) : QString();
    return translated.isEmpty() ? QString::fromUtf8(source) : translated;
}

QString Localization::text(Text key, AppLanguage language) {
    const auto index = static_cast<size_t>(key);
    return index < sources.size() ? translate(language, sources[index]) : QString();
}

QString Localization::text(Text key) const {
    return text(key, m_language);
}

QVariantList Localization::languages() const {
    QVariantList list;
    for (AppLanguage language : applanguage::all())
        list << QVariantMap{{QStringLiteral("code"), applanguage::rawValue(language)},
                            {QStringLiteral("displayName"), applanguage::displayName(language)}};
    return list;
}

QString Localization::serviceMessage(const QString& message) const {
    return serviceMessage(message,
                          [this](const char* source) { return translate(m_language, source); });
}

QString Localization::serviceMessage(const QString& message,
                                     const std::function<QString(const char*)>& translate) {
    // Each source as a pattern over the whole message, its "%n" parts captured.
    static const auto patterns = [] {
        std::array<QRegularExpression, serviceSources.size()> all;
        for (std::size_t i = 0; i < serviceSources.size(); ++i) {
            QString pattern = QRegularExpression::escape(QString::fromUtf8(serviceSources[i]));
            pattern.replace(QRegularExpression::escape(QStringLiteral("%1")),
                            QStringLiteral("(.*)"));
            all[i] = QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                                        QRegularExpression::DotMatchesEverythingOption);
        }
        return all;
    }();
    for (std::size_t i = 0; i < serviceSources.size(); ++i) {
        const auto match = patterns[i].match(message);
        if (!match.hasMatch())
            continue;
        QString text = translate(serviceSources[i]);
        return match.lastCapturedIndex() >= 1 ? text.arg(match.captured(1)) : text;
    }
    return message;
}

QString Localization::versionLabel(const QString& version, const QString& build) const {
    return translate(m_language, QT_TRANSLATE_NOOP("Localization", "Version %1 (%2)"))
        .arg(version, build);
}

QString Localization::regionName(const QString& region) const {
    return region == u"ru" ? translate(m_language, QT_TRANSLATE_NOOP("Localization", "Russia"))
                           : translate(m_language, QT_TRANSLATE_NOOP("Localization", "Germany"));
}

} // namespace veloxa
