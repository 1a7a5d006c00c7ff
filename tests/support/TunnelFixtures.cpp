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

QString saveTunnel(RawControlClient& client, const QString& interface, const json& options,
                   bool enabled) {
    return save(client, configuration(QStringLiteral("T"), engine(interface, options), enabled));
}

QString connectTunnel(RawControlClient& client, const QString& interface, const json& options) {
    const QString id = saveTunnel(client, interface, options);
    const auto started = client.op("start", id);
    if (id.isEmpty() || !started || started->value("ok", false) != true ||
        !client.waitForStatus(id, 3))
        return {};
    return id;
}

json storedConfigurations(const QString& controlSocket) {
    RawControlClient client;
    const auto all =
        client.connectTo(controlSocket) ? client.request({{"op", "loadAll"}}) : std::nullopt;
    return all ? all->value("configurations", json::array()) : json::array();
}

QString text(const json& value) {
    return QString::fromStdString(value.is_string() ? value.get<std::string>() : value.dump());
}

QString errorOf(const std::optional<json>& reply) {
    return reply ? text(reply->value("error", json())) : QStringLiteral("(no reply)");
}

} // namespace fixtures
