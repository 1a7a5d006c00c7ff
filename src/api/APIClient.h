#pragma once

#include "APIError.h"
#include "LoginResult.h"
#include "MeResult.h"

#include <QCoro/QCoroTask>
#include <QMap>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <expected>
#include <optional>

class QNetworkAccessManager;

namespace veloxa {

// The client's only road to the service: one operation, one HTTPS request, one decoded
// record or one APIError. Keeps no state between calls beyond the base URL.
class APIClient : public QObject {
    Q_OBJECT
public:
    using Body = QMap<QString, QString>;
    template <class T> using Result = QCoro::Task<std::expected<T, APIError>>;

    // Answers with a larger body are not read; the body then counts as unreadable.
    static constexpr qint64 maxResponseBytes = 4 * 1024 * 1024;

    explicit APIClient(QUrl baseURL, QObject* parent = nullptr);
    ~APIClient() override;

    QUrl baseURL() const { return m_baseURL; }
    // Ends every request in flight with a network failure (used when the owner goes away).
    void abortAll();
    // The per-request transfer time-out (60 s); tests shorten it.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    Result<void> requestOTP(QString email);
    Result<LoginResult> verifyOTP(QString email, QString code, QString deviceUUID,
                                  QString deviceName, QString platform);
    Result<MeResult> fetchMe(QString token);
    Result<void> logout(QString token);
    Result<void> deleteDevice(QString deviceId, QString token);
    Result<LoginResult> replaceOldDevice(QString replaceToken, QString oldDeviceUUID);

    // A device identifier usable as one URL path segment as it is.
    static bool isPlainPathSegment(const QString& text);

    // The one generic request; T is the record a success status must decode into.
    template <class T>
    Result<T> send(QString path, QByteArray method, std::optional<Body> body,
                   std::optional<QString> token);

private:
    struct RawResponse {
        int status = 0;
        QByteArray body;
        bool bodyUnreadable = false;
    };
    QCoro::Task<std::expected<RawResponse, APIError>> perform(QString path, QByteArray method,
                                                              std::optional<Body> body,
                                                              std::optional<QString> token);
    // Statuses other than success, in the fixed order 409, 401, other failures.
    static std::optional<APIError> failureFor(const RawResponse& response);

    QUrl m_baseURL;
    std::chrono::milliseconds m_timeout{std::chrono::seconds(60)};
    QNetworkAccessManager* m_network;
};

} // namespace veloxa
