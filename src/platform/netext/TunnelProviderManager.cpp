#include "TunnelProviderManager.h"

#include "TunnelConfigurationRecord.h"
#include "TunnelServiceClient.h"

namespace veloxa {

using json = nlohmann::json;

namespace {
std::optional<TunnelConfigurationRecord> recordFrom(const TunnelServiceClient::Reply& reply) {
    if (!reply || !reply->contains("configuration") || !(*reply)["configuration"].is_object())
        return std::nullopt;
    try {
        auto record =
            TunnelConfigurationRecord::fromJson(JsonReader((*reply)["configuration"], {}));
        if (record.identifier.isEmpty())
            return std::nullopt;
        return record;
    } catch (const JsonReader::Failure&) {
        return std::nullopt;
    }
}
const QString badReply = QStringLiteral("The tunnel service sent an unreadable answer");
} // namespace

TunnelProviderManager::TunnelProviderManager(TunnelServiceClient& client) : m_client(client) {}

std::shared_ptr<TunnelProviderManager> TunnelProviderManager::create(TunnelServiceClient& client) {
    return std::shared_ptr<TunnelProviderManager>(new TunnelProviderManager(client));
}

TunnelProviderSession* TunnelProviderManager::connection() {
    if (m_identifier.isEmpty())
        return nullptr;
    if (!m_session)
        m_session = std::make_unique<TunnelProviderSession>(m_client, m_identifier);
    return m_session.get();
}

void TunnelProviderManager::apply(const TunnelConfigurationRecord& r) {
    if (m_identifier != r.identifier)
        m_session.reset();
    m_identifier = r.identifier;
    localizedDescription = r.localizedDescription;
    isEnabled = r.isEnabled;
    protocolConfiguration = TunnelProviderProtocol{r.providerBundleIdentifier, r.serverAddress,
                                                   r.providerConfiguration};
}

TunnelConfigurationRecord TunnelProviderManager::record() const {
    TunnelConfigurationRecord r;
    r.identifier = m_identifier;
    r.localizedDescription = localizedDescription;
    r.isEnabled = isEnabled;
    if (protocolConfiguration) {
        r.providerBundleIdentifier = protocolConfiguration->providerBundleIdentifier;
        r.serverAddress = protocolConfiguration->serverAddress;
        r.providerConfiguration = protocolConfiguration->providerConfiguration;
    }
    return r;
}

void TunnelProviderManager::loadAllFromPreferences(
    TunnelServiceClient& client, std::function<void(Managers, std::optional<QString>)> done) {
    client.send({{"op", "loadAll"}},
                [&client, done = std::move(done)](TunnelServiceClient::Reply reply) {
                    if (!reply)
                        return done({}, reply.error());
                    Managers managers;
                    for (const auto& c : reply->value("configurations", json::array())) {
                        try {
                            auto record = TunnelConfigurationRecord::fromJson(JsonReader(c, {}));
                            if (record.identifier.isEmpty())
                                continue;
                            auto manager = create(client);
                            manager->apply(record);
                            managers.append(manager);
                        } catch (const JsonReader::Failure&) {
                            // A configuration this client cannot read is not one of its own.
                        }
                    }
                    done(managers, std::nullopt);
                });
}

TunnelServiceClient::Callback TunnelProviderManager::applyingReply(Completion done) {
    std::weak_ptr<TunnelProviderManager> weak = weak_from_this();
    return [weak, done = std::move(done)](TunnelServiceClient::Reply reply) {
        if (!reply)
            return done(reply.error());
        const auto record = recordFrom(reply);
        if (!record)
            return done(badReply);
        if (auto self = weak.lock())
            self->apply(*record);
        done(std::nullopt);
    };
}

void TunnelProviderManager::saveToPreferences(Completion done) {
    m_client.send({{"op", "save"}, {"configuration", record().toJson()}},
                  applyingReply(std::move(done)));
}

void TunnelProviderManager::loadFromPreferences(Completion done) {
    if (m_identifier.isEmpty())
        return m_client.send({{"op", "load"}, {"identifier", ""}}, [done = std::move(done)](auto) {
            done(QStringLiteral("The VPN configuration was never saved"));
        });
    m_client.send({{"op", "load"}, {"identifier", m_identifier.toStdString()}},
                  applyingReply(std::move(done)));
}

void TunnelProviderManager::removeFromPreferences(Completion done) {
    m_client.send({{"op", "remove"}, {"identifier", m_identifier.toStdString()}},
                  [done = std::move(done)](TunnelServiceClient::Reply reply) {
                      done(reply ? std::nullopt : std::optional<QString>(reply.error()));
                  });
}

} // namespace veloxa
