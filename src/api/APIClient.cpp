#include "APIClient.h"

#include "APIErrorResponse.h"
#include "BearerToken.h"
#include "OKResponse.h"

#include "ReplyAwaiter.h"
#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

namespace veloxa {

APIClient::APIClient(QUrl baseURL, QObject* parent)
    : QObject(parent), m_baseURL(std::move(baseURL)), m_network(new QNetworkAccessManager(this)) {
    // The base is an origin; paths are appended to it.
    QString text = m_baseURL.toString();
    while (text.endsWith(u'/'))
        text.chop(1);
    m_baseURL = QUrl(text);
}

APIClient::~APIClient() {
    abortAll();
}

void APIClient::abortAll() {
    for (QNetworkReply* reply : m_network->findChildren<QNetworkReply*>())
        reply->abort();
}

QCoro::Task<std::expected<APIClient::RawResponse, APIError>>
APIClient::perform(QString path, QByteArray method, std::optional<Body> body,
                   std::optional<QString> token) {
    // A stored token that could break the header line is never sent.
    if (token && !isUsableBearerToken(*token))
        co_return std::unexpected(APIError::unauthorized());
    const QUrl url = QUrl::fromEncoded(m_baseURL.toEncoded() + "/api" + path.toUtf8());
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(m_timeout.count()));
    // A redirect would carry the token and the body to wherever it points: none is
    // followed, and a 3xx answer is a failure like any other.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (token)
        request.setRawHeader("Authorization", "Bearer " + token->toLatin1());

    QByteArray payload;
    if (body) {
        nlohmann::json object = nlohmann::json::object();
        for (auto it = body->cbegin(); it != body->cend(); ++it)
            object[it.key().toStdString()] = it.value().toStdString();
        try {
            payload = QByteArray::fromStdString(object.dump());
        } catch (const nlohmann::json::exception&) {
            payload.clear(); // sent without a body
        }
    }

    // Without a body nothing is attached, so no Content-Length goes out either.
    QNetworkReply* reply =
        body ? m_network->sendCustomRequest(request, method, payload)
             : m_network->sendCustomRequest(request, method, static_cast<QIODevice*>(nullptr));
    auto bodyTooLarge = std::make_shared<bool>(false);
    auto checkSize = [reply, bodyTooLarge](qint64 size) {
        if (size > maxResponseBytes && !*bodyTooLarge) {
            *bodyTooLarge = true;
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, checkSize] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid())
            checkSize(length.toLongLong());
    });
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [checkSize](qint64 received, qint64) { checkSize(received); });

    ReplyAwaiter done(reply); // named: GCC 12 cannot await this temporary
    if (!co_await done)
        co_return std::unexpected(APIError::network(QStringLiteral("The request was cancelled.")));
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> guard(
        reply, [](QNetworkReply* r) { r->deleteLater(); });

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Errors below 200 are the transport's (closed, timed out, refused): the answer did
    // not get through, whether or not a status line had arrived.
    const bool transportFailed =
        reply->error() != QNetworkReply::NoError && reply->error() < 200 && !*bodyTooLarge;
    if (!status.isValid() || transportFailed) {
        if (*bodyTooLarge)
            co_return std::unexpected(
                APIError::network(QStringLiteral("The server's response is too large.")));
        if (reply->error() == QNetworkReply::OperationCanceledError ||
            reply->error() == QNetworkReply::TimeoutError)
            co_return std::unexpected(APIError::network(QStringLiteral("The request timed out.")));
        co_return std::unexpected(APIError::network(reply->errorString()));
    }
    RawResponse response;
    response.status = status.toInt();
    if (*bodyTooLarge || !reply->isOpen())
        response.bodyUnreadable = true;
    else
        response.body = reply->readAll();
    // A body shorter than announced was cut off on the way, whatever the status said.
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (!response.bodyUnreadable && announced.isValid() &&
        response.body.size() < announced.toLongLong()) {
        // Qt's own text, translated by Qt's catalogue (not ours, hence no literal context).
        static const char* const qtContext = "QNetworkReply";
        co_return std::unexpected(
            APIError::network(QCoreApplication::translate(qtContext, "Connection closed")));
    }
    co_return response;
}

std::optional<APIError> APIClient::failureFor(const RawResponse& response) {
    const int s = response.status;
    auto decode = [&]<class T>() -> std::expected<T, DecodeError> {
        if (response.bodyUnreadable)
            return std::unexpected(DecodeError{QStringLiteral("response body too large")});
        return JsonReader::decode<T>(response.body);
    };
    if (s == 409) {
        if (auto limit = decode.operator()<DeviceLimitResult>())
            return APIError::deviceLimitReached(std::move(*limit));
    }
    if (s == 401) {
        if (auto message = decode.operator()<APIErrorResponse>())
            return APIError::server(message->error);
        return APIError::unauthorized();
    }
    if (s < 200 || s > 299) {
        if (auto message = decode.operator()<APIErrorResponse>())
            return APIError::server(message->error);
        return APIError::server(QStringLiteral("Ошибка сервера (%1)").arg(s));
    }
    return std::nullopt;
}

template <class T>
APIClient::Result<T> APIClient::send(QString path, QByteArray method, std::optional<Body> body,
                                     std::optional<QString> token) {
    auto response =
        co_await perform(std::move(path), std::move(method), std::move(body), std::move(token));
    if (!response)
        co_return std::unexpected(response.error());
    if (auto failure = failureFor(*response))
        co_return std::unexpected(std::move(*failure));
    if (response->bodyUnreadable)
        co_return std::unexpected(APIError::decoding({QStringLiteral("response body too large")}));
    auto record = JsonReader::decode<T>(response->body);
    if (!record)
        co_return std::unexpected(APIError::decoding(record.error()));
    co_return std::move(*record);
}

namespace {
template <class T> std::expected<void, APIError> dropValue(std::expected<T, APIError>&& result) {
    if (!result)
        return std::unexpected(std::move(result.error()));
    return {};
}
} // namespace

// GCC 12 miscompiles string literals inside co_await expressions, so every argument is
// built before the await.

APIClient::Result<void> APIClient::requestOTP(QString email) {
    const QString path = QStringLiteral("/singbox/client/otp/request");
    const Body body{{QStringLiteral("email"), email}};
    const QByteArray method = QByteArrayLiteral("POST");
    co_return dropValue(co_await send<OKResponse>(path, method, body, std::nullopt));
}

APIClient::Result<LoginResult> APIClient::verifyOTP(QString email, QString code, QString deviceUUID,
                                                    QString deviceName, QString platform) {
    const QString path = QStringLiteral("/singbox/client/otp/verify");
    const Body body{{QStringLiteral("email"), email},
                    {QStringLiteral("code"), code},
                    {QStringLiteral("device_uuid"), deviceUUID},
                    {QStringLiteral("device_name"), deviceName},
                    {QStringLiteral("platform"), platform}};
    const QByteArray method = QByteArrayLiteral("POST");
    co_return co_await send<LoginResult>(path, method, body, std::nullopt);
}

APIClient::Result<MeResult> APIClient::fetchMe(QString token) {
    const QString path = QStringLiteral("/singbox/client/me");
    const QByteArray method = QByteArrayLiteral("GET");
    co_return co_await send<MeResult>(path, method, std::nullopt, token);
}

APIClient::Result<void> APIClient::logout(QString token) {
    const QString path = QStringLiteral("/singbox/client/logout");
    const QByteArray method = QByteArrayLiteral("POST");
    co_return dropValue(co_await send<OKResponse>(path, method, std::nullopt, token));
}

bool APIClient::isPlainPathSegment(const QString& text) {
    // Unreserved characters only, and not a segment of dots, which URL handling folds
    // into its parent (encoded or not).
    const bool unreserved = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
               u == '-' || u == '.' || u == '_' || u == '~';
    });
    const bool dots = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == u'.'; });
    return !text.isEmpty() && text.size() <= 128 && unreserved && !dots;
}

APIClient::Result<void> APIClient::deleteDevice(QString deviceId, QString token) {
    // The identifier comes from the service's own device list; one that is not a plain
    // path segment would send the token elsewhere, so it is an unexpected answer.
    if (!isPlainPathSegment(deviceId))
        co_return std::unexpected(
            APIError::decoding({QStringLiteral("device identifier is not one path segment")}));
    const QString path = QStringLiteral("/singbox/client/devices/") + deviceId;
    const QByteArray method = QByteArrayLiteral("DELETE");
    co_return dropValue(co_await send<OKResponse>(path, method, std::nullopt, token));
}

APIClient::Result<LoginResult> APIClient::replaceOldDevice(QString replaceToken,
                                                           QString oldDeviceUUID) {
    const QString path = QStringLiteral("/singbox/client/devices/replace");
    const Body body{{QStringLiteral("replace_token"), replaceToken},
                    {QStringLiteral("old_device_uuid"), oldDeviceUUID}};
    const QByteArray method = QByteArrayLiteral("POST");
    co_return co_await send<LoginResult>(path, method, body, std::nullopt);
}

} // namespace veloxa
