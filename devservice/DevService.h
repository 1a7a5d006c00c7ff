#pragma once

#include <QAbstractHttpServer>
#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class QHttpServerRequest;
class QNetworkAccessManager;
class QHttpServerResponder;

namespace veloxa::dev {

// A local, scriptable implementation of the VPN service's HTTP API for the demo and the
// integration tests: one-time codes, tokens, devices with a limit and one-time
// replacement, account status, per-region tunnel configurations, an IP echo, and /dev/
// controls (mailbox, account state, token revocation, scripted answers, request log).
class DevService : public QAbstractHttpServer {
    Q_OBJECT
public:
    // The WireGuard server every configuration points at.
    struct WireGuardExit {
        QString publicKey;
        QString host;
        quint16 port = 51820;
        // "PUBKEY@HOST:PORT"; nothing when the text is not of that form.
        static std::optional<WireGuardExit> parse(const QString& text);
    };
    struct Options {
        int codeTtlSeconds = 600;
        int codeAttempts = 5;
        int replaceTtlSeconds = 600;
        bool printCodes = true;
        // Without one, configurations point at an address that exists nowhere.
        std::optional<WireGuardExit> wireGuardExit = std::nullopt;
        // When set, /ip answers with what this echo says of the service's own address.
        QUrl ipEchoUpstream = {};
    };

    explicit DevService(Options options, QObject* parent = nullptr);
    DevService() : DevService(Options{}) {}

    // Back to the seed accounts; codes, tokens and scripted answers are dropped.
    void reset();

    struct RecordedRequest {
        QString method;
        QString path;                   // with the query, as received
        QMap<QString, QString> headers; // lower-case names
        QByteArray body;
    };
    // Requests other than the /dev/ controls, oldest first (the last 100).
    const QList<RecordedRequest>& requests() const { return m_requests; }
    QStringList mailbox(const QString& email) const;
    // http://127.0.0.1:<port> once listening on loopback, else empty.
    QUrl baseUrl() const;

    static const QString activeSeed;
    static const QString expiredSeed;
    static const QString fullSeed;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Device {
        QString uuid;
        QString name;
        QString platform;
        QString createdAt;
        std::optional<QString> lastSeenAt;
    };
    struct Account {
        QString email;
        QString status;
        std::optional<QString> expiresAt;
        qint64 maxDevices = 5;
        QList<Device> devices;
    };
    struct PendingCode {
        QString code;
        QDateTime expires;
        int attemptsLeft = 0;
    };
    struct Session {
        QString email;
        QString deviceUuid;
    };
    struct ReplaceGrant {
        QString email;
        Device device;
        QDateTime expires;
    };
    struct Scripted {
        int status = 200;
        QByteArray body;
        QByteArray contentType;
        int delayMs = 0;
        QString pathPrefix;
    };
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
    };
    // A device's WireGuard identity, made on first use and kept while the service runs.
    struct DeviceKeys {
        QString privateKey;
        QString publicKey; // empty when wireguard-tools are missing
        int index = 0;     // picks the device's tunnel addresses
    };

    Reply route(const QHttpServerRequest& request);
    void relayIpEcho(std::shared_ptr<QHttpServerResponder> responder, QTcpSocket* socket);
    Reply routeApi(const QString& method, const QString& path, const QHttpServerRequest& request);
    Reply routeDev(const QString& method, const QString& path, const QHttpServerRequest& request);

    Reply requestCode(const QJsonObject& body);
    Reply verifyCode(const QJsonObject& body);
    Reply me(const QHttpServerRequest& request);
    Reply logout(const QHttpServerRequest& request);
    Reply deleteDevice(const QString& encodedId, const QHttpServerRequest& request);
    Reply replaceDevice(const QJsonObject& body);

    std::optional<Session> sessionFor(const QHttpServerRequest& request);
    Reply loginResult(const QString& email, const QString& deviceUuid);
    QJsonObject accountJson(const Account& account, const QString& deviceUuid);
    static QJsonArray devicesJson(const Account& account);
    QJsonArray configsFor(const QString& deviceUuid);
    const DeviceKeys& keysFor(const QString& deviceUuid);
    QString engineConfig(const QString& region, const QString& deviceUuid);
    static QStringList tunnelAddresses(int index);
    QString issueToken(const QString& email, const QString& deviceUuid);
    void revokeDeviceTokens(const QString& email, const QString& deviceUuid);
    Account& accountFor(const QString& email);

    static Reply json(int status, const QJsonObject& object);
    static Reply error(int status, const QString& message);
    static Reply ok();
    static QString key(const QString& email) { return email.trimmed().toLower(); }
    static QString now();

    Options m_options;
    QMap<QString, Account> m_accounts;
    QHash<QString, PendingCode> m_codes;
    QHash<QString, Session> m_sessions;
    QHash<QString, ReplaceGrant> m_grants;
    QHash<QString, QStringList> m_mailbox;
    QList<Scripted> m_scripted;
    QList<RecordedRequest> m_requests;
    QHash<QString, DeviceKeys> m_keys;
    QString m_placeholderExitKey;
    QNetworkAccessManager* m_network = nullptr;
};

} // namespace veloxa::dev
