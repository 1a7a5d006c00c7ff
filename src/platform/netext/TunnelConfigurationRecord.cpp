#include "TunnelConfigurationRecord.h"

#include "InterfaceName.h"
#include "json/JsonDepth.h"

namespace veloxa {

TunnelConfigurationRecord TunnelConfigurationRecord::fromJson(const JsonReader& in) {
    TunnelConfigurationRecord r;
    r.identifier = in.optionalString("identifier").value_or(QString());
    r.localizedDescription = in.requireString("localizedDescription");
    r.isEnabled = in.requireBool("isEnabled");
    r.providerBundleIdentifier = in.requireString("providerBundleIdentifier");
    r.serverAddress = in.requireString("serverAddress");
    r.providerConfiguration = in.requireStringMap("providerConfiguration");
    return r;
}

nlohmann::json TunnelConfigurationRecord::toJson() const {
    nlohmann::json provider = nlohmann::json::object();
    for (auto it = providerConfiguration.cbegin(); it != providerConfiguration.cend(); ++it)
        provider[it.key().toStdString()] = it.value().toStdString();
    nlohmann::json out = {{"localizedDescription", localizedDescription.toStdString()},
                          {"isEnabled", isEnabled},
                          {"providerBundleIdentifier", providerBundleIdentifier.toStdString()},
                          {"serverAddress", serverAddress.toStdString()},
                          {"providerConfiguration", provider}};
    if (!identifier.isEmpty())
        out["identifier"] = identifier.toStdString();
    return out;
}

std::optional<QString> TunnelConfigurationRecord::tunInterfaceName() const {
    const auto it = providerConfiguration.constFind(QLatin1String(engineConfigKey));
    if (it == providerConfiguration.cend())
        return std::nullopt;
    const auto doc = JsonDepth::parse(it->toStdString());
    if (!doc.is_object() || !doc.contains("inbounds") || !doc["inbounds"].is_array())
        return std::nullopt;
    for (const auto& inbound : doc["inbounds"]) {
        if (!inbound.is_object() || inbound.value("type", nlohmann::json()) != "tun")
            continue;
        const auto name = inbound.find("interface_name");
        if (name == inbound.end() || !name->is_string() ||
            name->get_ref<const std::string&>().empty())
            return std::nullopt;
        // An interface name is one path component in sysfs; anything else is not read.
        if (!isValidInterfaceName(name->get_ref<const std::string&>()))
            return std::nullopt;
        return QString::fromStdString(name->get<std::string>());
    }
    return std::nullopt;
}

} // namespace veloxa
