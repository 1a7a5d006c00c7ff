#include "ViewFormat.h"

#include "BuildConfig.h"
#include "ByteCountFormatter.h"
#include "localization/Localization.h"
#include "platform/Bundle.h"

#include <QUrlQuery>

namespace veloxa {

QString ViewFormat::orDash(const QVariant& value) {
    const QString text = value.isNull() ? QString() : value.toString();
    return text.isEmpty() ? dash() : text;
}

QString ViewFormat::sessionTime(const QVariant& startedAt, const QDateTime& now) {
    const QDateTime start = startedAt.isNull() ? QDateTime() : startedAt.toDateTime();
    if (!start.isValid())
        return dash();
    const qint64 s = std::max<qint64>(0, start.msecsTo(now) / 1000);
    return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, s % 60);
}

QString ViewFormat::traffic(bool active, quint64 bytes) {
    if (!active)
        return dash();
    return bytes == 0 ? QStringLiteral("0 KB") : ByteCountFormatter::format(bytes);
}

QString ViewFormat::expiryDate(const QVariant& date, const QString& languageCode) {
    const QDateTime value = date.isNull() ? QDateTime() : date.toDateTime();
    if (!value.isValid())
        return dash();
    // The medium date style of each interface language ("Jun 30, 2025", "30.06.2025").
    const AppLanguage language =
        applanguage::fromRawValue(languageCode).value_or(Localization::shared().language());
    const QLocale locale(applanguage::localeIdentifier(language));
    QString format;
    switch (language) {
    case AppLanguage::en:
        format = QStringLiteral("MMM d, yyyy");
        break;
    case AppLanguage::ru:
        format = QStringLiteral("d MMM yyyy 'г.'");
        break;
    case AppLanguage::es:
        format = QStringLiteral("d MMM yyyy");
        break;
    case AppLanguage::de:
        format = QStringLiteral("dd.MM.yyyy");
        break;
    }
    return locale.toString(value.toLocalTime().date(), format);
}

qint64 ViewFormat::secondsUntil(const QVariant& endsAt, const QDateTime& now) {
    const QDateTime end = endsAt.isNull() ? QDateTime() : endsAt.toDateTime();
    if (!end.isValid())
        return 0;
    const qint64 ms = now.msecsTo(end);
    return ms <= 0 ? 0 : (ms + 999) / 1000; // a part of a second counts as a whole one
}

QUrl ViewFormat::pricingURL(const QString& email) {
    const bool russian = Localization::shared().language() == AppLanguage::ru;
    QUrl url(QString::fromUtf8(build::websiteRoot) +
             (russian ? QStringLiteral("ru") : QStringLiteral("en")));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("email"), email);
    url.setQuery(query);
    url.setFragment(QStringLiteral("pricing"));
    return url;
}

QUrl ViewFormat::websiteURL(const QString& path) {
    QString root = QString::fromUtf8(build::websiteRoot);
    while (root.endsWith(u'/'))
        root.chop(1);
    return QUrl(root + path);
}

QUrl ViewFormat::supportURL() {
    return QUrl(QStringLiteral("mailto:") + QString::fromUtf8(build::supportEmail));
}

QString ViewFormat::capitalized(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool wordStart = true;
    for (const QChar c : text) {
        out += wordStart ? c.toUpper() : c.toLower();
        wordStart = !c.isLetterOrNumber();
    }
    return out;
}

QString ViewFormat::appVersion() {
    return Bundle::main()
        .stringValue(QStringLiteral("CFBundleShortVersionString"))
        .value_or(dash());
}

QString ViewFormat::appBuild() {
    return Bundle::main().stringValue(QStringLiteral("CFBundleVersion")).value_or(dash());
}

} // namespace veloxa
