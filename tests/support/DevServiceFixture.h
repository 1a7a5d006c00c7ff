#pragma once

#include "DevService.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <nlohmann/json.hpp>

// The dev service on loopback, driven as the client's tests need it: its /dev/ controls
// and the requests it saw.
struct DevServiceFixture {
    veloxa::dev::DevService service{{.printCodes = false}};

    bool listen() { return service.listen(QHostAddress::LocalHost, 0); }
    QUrl url(const QString& path = {}) const { return QUrl(service.baseUrl().toString() + path); }
    // A GET, or a POST of `body`, to `path`: the HTTP status, 0 when none came within 5 s.
    int request(const QString& path, const nlohmann::json& body = {}) {
        QNetworkAccessManager nam;
        QNetworkRequest request(url(path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        std::unique_ptr<QNetworkReply> reply(
            body.is_null() ? nam.get(request)
                           : nam.post(request, QByteArray::fromStdString(body.dump())));
        if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 5000))
            return 0;
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }
    // The next answer to a request whose path starts with `path`: this one, after `delayMs`.
    bool script(const QString& path, int status, const QByteArray& body, int delayMs = 0,
                const char* type = "application/json") {
        return request(QStringLiteral("/dev/next-response"), {{"path", path.toStdString()},
                                                              {"status", status},
                                                              {"body", body.toStdString()},
                                                              {"delay_ms", delayMs},
                                                              {"content_type", type}}) == 200;
    }
    // The requests so far whose path starts with `prefix`.
    qsizetype requestsTo(const QString& prefix) const {
        return std::count_if(service.requests().cbegin(), service.requests().cend(),
                             [&](const auto& r) { return r.path.startsWith(prefix); });
    }
};
