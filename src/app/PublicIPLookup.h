#pragma once

#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace veloxa {

// Asks the IP echo which address the internet sees, one question at a time per tunnel
// session. An answer counts only for the session it was asked in; a stalled echo gives
// way after its time-out so a later ask can try again.
class PublicIPLookup : public QObject {
    Q_OBJECT
public:
    PublicIPLookup(QUrl echoURL, std::chrono::milliseconds timeout, QObject* parent = nullptr);
    ~PublicIPLookup() override;

    // A tunnel session starts or ends: answers to earlier questions are dropped.
    void newSession() { ++m_session; }
    // Asks, unless a question for this session is still open.
    void fetchPublicIP();

signals:
    void found(const QString& address);

private:
    QUrl m_echoURL;
    std::chrono::milliseconds m_timeout;
    QNetworkAccessManager* m_network;
    quint64 m_session = 0;
    bool m_inFlight = false;
    quint64 m_inFlightSession = 0;
};

} // namespace veloxa
