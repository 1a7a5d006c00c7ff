#pragma once

#include "AppLanguage.h"

#include <QLocale>
#include <QObject>
#include <QTranslator>
#include <QVariantMap>
#include <memory>

class QSettings;

namespace veloxa {

// The current interface language and every user-visible text in it. One shared instance;
// a change is published at once (views relabel live) and stored under "app_wg.language".
class Localization : public QObject {
    Q_OBJECT
    Q_PROPERTY(veloxa::AppLanguage language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(QString languageCode READ languageCode WRITE setLanguageCode NOTIFY languageChanged)
    // Every fixed text of the current language, by key: views bind to strings.tabAccount.
    Q_PROPERTY(QVariantMap strings READ strings NOTIFY languageChanged)
    // [{code, displayName}] in picker order.
    Q_PROPERTY(QVariantList languages READ languages CONSTANT)

public:
    enum class Text {
        // fixed texts
        errorUnexpectedResponse,
        errorDeviceLimit,
        errorSignInRequired,
        privacyPolicy,
        termsOfUse,
        contactSupport,
        subscriptionInactiveDisconnected,
        deviceDisconnected,
        subscriptionInactiveCheckAccount,
        noConfigForRegion,
        sessionTime,
        codeFromEmail,
        invalidEmail,
        checking,
        resendCode,
        termsOfUseInSentence,
        privacyPolicyInSentence,
        allowExtension,
        openSettings,
        chooseDeviceToReplace,
        activateSubscription,
        thisDevice,
        signOutThisDeviceConfirm,
        signOutAccountConfirm,
        quitApp,
        // texts the views pick by language
        languageTitle,
        tabVPN,
        tabAccount,
        tabAbout,
        menuConnect,
        menuDisconnect,
        menuAbout,
        signInTitle,
        getCode,
        sending,
        signInButton,
        changeEmail,
        consentPrefix,
        consentAnd,
        cancelButton,
        signOutButton,
        signOutDeviceButton,
        replaceButton,
        statusTitle,
        validUntil,
        regionTitle,
        ipAddressTitle,
        trafficTitle,
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

    AppLanguage language() const { return m_language; }
    void setLanguage(AppLanguage language);
    QString languageCode() const { return applanguage::rawValue(m_language); }
    void setLanguageCode(const QString& code);
    QLocale locale() const;

    QString text(Text key) const;
    static QString text(Text key, AppLanguage language);
    static QString key(Text key);
    QVariantMap strings() const;
    QVariantList languages() const;

    Q_INVOKABLE QString versionLabel(const QString& version, const QString& build) const;
    Q_INVOKABLE QString deviceLimitTitle(qint64 n) const;
    Q_INVOKABLE QString devicesHeader(qint64 count) const;
    Q_INVOKABLE QString platformLabel(const QString& platform) const;
    Q_INVOKABLE QString resendIn(qint64 seconds) const;
    Q_INVOKABLE QString signOutDeviceConfirm(const QString& name) const;
    Q_INVOKABLE QString subscriptionUnavailable(const QString& status) const;
    // "ru" names Russia; every other region reads as Germany.
    Q_INVOKABLE QString regionName(const QString& region) const;
    Q_INVOKABLE QString subscriptionStatusName(const QString& status) const;

signals:
    void languageChanged();

private:
    void applyQtTranslations();
    QSettings* m_settings;
    std::unique_ptr<QSettings> m_ownedSettings;
    std::unique_ptr<QTranslator> m_qtTranslator;
    AppLanguage m_language = AppLanguage::en;
};

} // namespace veloxa
