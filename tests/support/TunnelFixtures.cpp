#include "support/TunnelFixtures.h"

using json = nlohmann::json;

namespace fixtures {

json configuration(const QString& name, const std::string& engine, bool enabled) {
    return {{"localizedDescription", name.toStdString()},
            {"isEnabled", enabled},
            {"providerBundleIdentifier", "net.veloxa.client.network-extension"},
            {"serverAddress", name.toStdString()},
            {"providerConfiguration", {{"SingboxConfig", engine}}}};
}

QString save(RawControlClient& client, const json& configuration) {
    const auto reply = client.request({{"op", "save"}, {"configuration", configuration}});
    if (!reply || reply->value("ok", false) != true)
        return {};
    return text((*reply)["configuration"]["identifier"]);
}

QString connectTunnel(RawControlClient& client, const std::string& engine) {
    const QString id = save(client, configuration(QStringLiteral("T"), engine));
    const auto started = client.op("start", id);
    if (id.isEmpty() || !started || started->value("ok", false) != true ||
        !client.waitForStatus(id, 3))
        return {};
    return id;
}

QString text(const json& value) {
    return QString::fromStdString(value.is_string() ? value.get<std::string>() : value.dump());
}

QString errorOf(const std::optional<json>& reply) {
    return reply ? text(reply->value("error", json())) : QStringLiteral("(no reply)");
}

} // namespace fixtures
