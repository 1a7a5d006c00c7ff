#pragma once

#include <QDateTime>
#include <QObject>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace veloxa {

// Texts the views show that take more than a binding: dashes for absent values, the
// session clock, traffic figures, dates in the interface language, the pricing address.
// QML numbers are doubles, so byte counts are formatted here.
class ViewFormat : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    static QString dash() { return QStringLiteral("—"); }
    // The text of a string value, or the dash when it is null or empty.
    Q_INVOKABLE static QString orDash(const QVariant& value);
    // "%02d:%02d:%02d" since the start (hours unbounded, a future start reads 00:00:00).
    Q_INVOKABLE static QString sessionTime(const QVariant& startedAt, const QDateTime& now);
    // While active: "0 KB" for nothing yet, else the byte count; otherwise the dash.
    Q_INVOKABLE static QString traffic(bool active, quint64 bytes);
    // Medium date style in the language's locale (the interface language unless given);
    // the dash when absent.
    Q_INVOKABLE static QString expiryDate(const QVariant& date, const QString& languageCode = {});
    // Whole seconds left until `endsAt`, rounded up, never below 0.
    Q_INVOKABLE static qint64 secondsUntil(const QVariant& endsAt, const QDateTime& now);
    // The web site's pricing page for this account, in English or Russian.
    Q_INVOKABLE static QUrl pricingURL(const QString& email);
    Q_INVOKABLE static QUrl websiteURL(const QString& path);
    Q_INVOKABLE static QUrl supportURL();
    // First letter of each word upper case, the rest lower ("macos-arm64" → "Macos-Arm64").
    Q_INVOKABLE static QString capitalized(const QString& text);
    // The bundle's version and build, the dash for a missing value.
    Q_INVOKABLE static QString appVersion();
    Q_INVOKABLE static QString appBuild();
};

} // namespace veloxa
