#include "PublicIPLookup.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <nlohmann/json.hpp>

namespace veloxa {

namespace {
constexpr qint64 maxAnswerBytes = 64 * 1024;
}

PublicIPLookup::PublicIPLookup(QUrl echoURL, std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent), m_echoURL(std::move(echoURL)), m_timeout(timeout),
      m_network(new QNetworkAccessManager(this)) {}

PublicIPLookup::~PublicIPLookup() {
    // Open questions end now without an answer.
    for (QNetworkReply* reply : m_network->findChildren<QNetworkReply*>()) {
        reply->disconnect(this);
        reply->abort();
    }
}

void PublicIPLookup::fetchPublicIP() {
    // A slow echo must not pile up a question per tick, nor hold back the next session's.
    if (m_inFlight && m_inFlightSession == m_session)
        return;
    const quint64 session = m_session;
    m_inFlight = true;
    m_inFlightSession = session;
    QUrl url = m_echoURL;
    url.setQuery(QStringLiteral("format=json"));
    QNetworkRequest request(url);
    request.setTransferTimeout(int(m_timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network->get(request);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply](qint64 received, qint64) {
                         if (received > maxAnswerBytes)
                             reply->abort();
                     });
    QObject::connect(reply, &QNetworkReply::finished, this, [this, reply, session] {
        reply->deleteLater();
        if (m_inFlightSession == session)
            m_inFlight = false; // a stalled answer gives way to a new ask on a later tick
        if (session != m_session || reply->error() != QNetworkReply::NoError)
            return;
        const auto doc = nlohmann::json::parse(reply->readAll().toStdString(), nullptr, false);
        if (doc.is_object() && doc.contains("ip") && doc["ip"].is_string())
            emit found(QString::fromStdString(doc["ip"].get<std::string>()));
    });
}

} // namespace veloxa
