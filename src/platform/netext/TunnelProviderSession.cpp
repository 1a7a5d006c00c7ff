#include "TunnelProviderSession.h"

#include "TunnelServiceClient.h"

namespace veloxa {

TunnelProviderSession::TunnelProviderSession(TunnelServiceClient& client, QString identifier)
    : m_client(client), m_identifier(std::move(identifier)) {}

int TunnelProviderSession::status() const {
    return m_client.status(m_identifier);
}

std::optional<QString> TunnelProviderSession::lastDisconnectError() const {
    return m_client.lastDisconnectError(m_identifier);
}

std::optional<QString>
TunnelProviderSession::startTunnel(std::function<void(std::optional<QString>)> done) {
    if (!m_client.isConnected())
        return m_client.lastError();
    m_client.send({{"op", "start"}, {"identifier", m_identifier.toStdString()}},
                  [done = std::move(done)](TunnelServiceClient::Reply reply) {
                      if (done)
                          done(reply ? std::nullopt : std::optional<QString>(reply.error()));
                  });
    return std::nullopt;
}

void TunnelProviderSession::stopTunnel() {
    m_client.send({{"op", "stop"}, {"identifier", m_identifier.toStdString()}}, {});
}

} // namespace veloxa
