#include "AppLanguage.h"

namespace veloxa::applanguage {

const QList<AppLanguage>& all() {
    static const QList<AppLanguage> cases{AppLanguage::en, AppLanguage::ru, AppLanguage::es,
                                          AppLanguage::de};
    return cases;
}

QString rawValue(AppLanguage language) {
    switch (language) {
    case AppLanguage::en:
        return QStringLiteral("en");
    case AppLanguage::ru:
        return QStringLiteral("ru");
    case AppLanguage::es:
        return QStringLiteral("es");
    case AppLanguage::de:
        return QStringLiteral("de");
    }
    return QStringLiteral("en");
}

std::optional<AppLanguage> fromRawValue(const QString& raw) {
    for (AppLanguage language : all())
        if (rawValue(language) == raw)
            return language;
    return std::nullopt;
}

QString displayName(AppLanguage language) {
    switch (language) {
    case AppLanguage::en:
        return QStringLiteral("English");
    case AppLanguage::ru:
        return QStringLiteral("Русский");
    case AppLanguage::es:
        return QStringLiteral("Español");
    case AppLanguage::de:
        return QStringLiteral("Deutsch");
    }
    return {};
}

QString localeIdentifier(AppLanguage language) {
    switch (language) {
    case AppLanguage::en:
        return QStringLiteral("en_US");
    case AppLanguage::ru:
        return QStringLiteral("ru_RU");
    case AppLanguage::es:
        return QStringLiteral("es_ES");
    case AppLanguage::de:
        return QStringLiteral("de_DE");
    }
    return QStringLiteral("en_US");
}

AppLanguage fromSystemPreference(const QStringList& preferredLanguages) {
    const QString first =
        preferredLanguages.isEmpty() ? QStringLiteral("en") : preferredLanguages.first();
    for (AppLanguage language : all())
        if (first.startsWith(rawValue(language), Qt::CaseSensitive))
            return language;
    return AppLanguage::en;
}

} // namespace veloxa::applanguage
