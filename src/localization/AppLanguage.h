#pragma once

#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>
#include <optional>

namespace veloxa {

namespace AppLanguageNS {
Q_NAMESPACE
// The interface languages, in the order of the language picker.
enum class AppLanguage { en, ru, es, de };
Q_ENUM_NS(AppLanguage)
} // namespace AppLanguageNS

using AppLanguage = AppLanguageNS::AppLanguage;

namespace applanguage {
const QList<AppLanguage>& all();
QString rawValue(AppLanguage language);
std::optional<AppLanguage> fromRawValue(const QString& raw);
// Always in the language itself ("Deutsch"), never translated.
QString displayName(AppLanguage language);
QString localeIdentifier(AppLanguage language);
// The first case whose raw value is a prefix of the system's first preferred language.
AppLanguage fromSystemPreference(const QStringList& preferredLanguages);
} // namespace applanguage

} // namespace veloxa
