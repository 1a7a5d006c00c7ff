#pragma once

#include "AppLanguage.h"

#include <QLocale>
#include <QObject>
#include <QTranslator>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>

class QJSEngine;
class QQmlEngine;
class QSettings;

namespace veloxa {

// The current interface language. One shared instance; a change is published at once
// (views relabel live) and stored under "app_wg.language". The texts themselves are Qt
// translations (translations/veloxa_<code>.ts, compiled into the program): the views use
// qsTr, and this class installs the chosen language's translator and gives C++ its texts.
class Localization : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(veloxa::AppLanguage language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(QString languageCode READ languageCode WRITE setLanguageCode NOTIFY languageChanged)
    // [{code, displayName}] in picker order.
    Q_PROPERTY(QVariantList languages READ languages CONSTANT)

public:
    // The texts C++ shows itself (errors, alerts, the tray's menu, notifications).
    enum class Text {
        errorUnexpectedResponse,
        errorDeviceLimit,
        errorSignInRequired,
        subscriptionInactiveDisconnected,
        deviceDisconnected,
        subscriptionInactiveCheckAccount,
        noConfigForRegion,
        invalidEmail,
        quitApp,
        menuConnect,
        menuDisconnect,
        menuAbout,
        connectionLost,
        connectionLostDetail,
        connectionRestored,
        connectionRestoredDetail,
        tunnelServiceNeedsApproval,
        disconnectToChangeRegion,
        count_
    };
    Q_ENUM(Text)

    static constexpr const char* settingsKey = "app_wg.language";

    // Takes the stored choice from settings, else the system rule on preferredLanguages.
    Localization(QSettings* settings, const QStringList& preferredLanguages,
                 QObject* parent = nullptr);
    ~Localization() override;

    // The process-wide instance (user settings, the system's preferred languages).
    static Localization& shared();
    // Every engine gets the shared instance, which none of them owns.
    static Localization* create(QQmlEngine*, QJSEngine*);

    AppLanguage language() const { return m_language; }
    void setLanguage(AppLanguage language);
    QString languageCode() const { return applanguage::rawValue(m_language); }
    void setLanguageCode(const QString& code);
    QLocale locale() const;

    QString text(Text key) const;
    static QString text(Text key, AppLanguage language);
    // A source text of the "Localization" context in `language` (English as written).
    static QString translate(AppLanguage language, const char* source,
                             const char* disambiguation = nullptr);
    QVariantList languages() const;

    // A message of the tunnel service or its client: our own fixed English texts in the
    // interface language, anything else (an engine's own words) as it is.
    QString serviceMessage(const QString& message) const;
    // The same with the lookup of a source text given: `translate` answers for each of our
    // English sources.
    static QString serviceMessage(const QString& message,
                                  const std::function<QString(const char* source)>& translate);

    QString versionLabel(const QString& version, const QString& build) const;
    // "ru" names Russia; every other region reads as Germany.
    QString regionName(const QString& region) const;

signals:
    void languageChanged();

private:
    // Qt's own texts and ours, for the current language, installed in the application.
    void installTranslators();
    QSettings* m_settings;
    std::unique_ptr<QSettings> m_ownedSettings;
    std::unique_ptr<QTranslator> m_qtTranslator;
    QTranslator* m_appTranslator = nullptr; // shared, never owned
    AppLanguage m_language = AppLanguage::en;
};

} // namespace veloxa
