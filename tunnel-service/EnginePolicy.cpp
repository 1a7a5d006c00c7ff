#include "EnginePolicy.h"

#include "json/JsonDepth.h"
#include "platform/netext/InterfaceName.h"

namespace veloxa::tunnel {

using json = nlohmann::json;

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Keys that name a file or folder in the engine's option set, whatever object they sit in.
bool namesFile(std::string_view key) {
    return key == "output" || key == "path" || key == "external_ui" || key == "data_directory" ||
           endsWith(key, "_path") || endsWith(key, "_directory") || endsWith(key, "_dir") ||
           endsWith(key, "_file");
}

bool opensSocket(std::string_view key) {
    return key == "listen" || key == "external_controller";
}

std::expected<void, QString> walk(const json& value, const std::string& where) {
    if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i)
            if (auto ok = walk(value[i], where + '[' + std::to_string(i) + ']'); !ok)
                return ok;
        return {};
    }
    if (!value.is_object())
        return {};
    for (const auto& [key, member] : value.items()) {
        const std::string path = where.empty() ? key : where + '.' + key;
        const QString shown = QString::fromStdString(path).left(80);
        if (namesFile(key))
            return std::unexpected(
                QStringLiteral("The VPN configuration may not name files (\"%1\")").arg(shown));
        if (opensSocket(key))
            return std::unexpected(
                QStringLiteral("The VPN configuration may not listen on sockets (\"%1\")")
                    .arg(shown));
        if (auto ok = walk(member, path); !ok)
            return ok;
    }
    return {};
}

} // namespace

std::expected<QString, QString> EnginePolicy::check(std::string_view document) {
    const json doc = JsonDepth::parse(document, maxDepth);
    if (!doc.is_object())
        return std::unexpected(
            QStringLiteral("The VPN configuration's tunnel settings are not a JSON object"));
    if (doc.contains("experimental"))
        return std::unexpected(
            QStringLiteral("The VPN configuration may not use \"experimental\" settings"));
    if (auto ok = walk(doc, {}); !ok)
        return std::unexpected(ok.error());

    const auto inbounds = doc.find("inbounds");
    std::optional<QString> interfaceName;
    int tuns = 0;
    if (inbounds != doc.end() && inbounds->is_array()) {
        for (const auto& inbound : *inbounds) {
            const auto type = inbound.is_object() ? inbound.value("type", json()) : json();
            if (type != "tun")
                return std::unexpected(
                    QStringLiteral(
                        "The VPN configuration has an inbound of type %1; only a tun inbound "
                        "is allowed")
                        .arg(QString::fromStdString(
                                 type.dump(-1, ' ', true, json::error_handler_t::replace))
                                 .left(40)));
            ++tuns;
            const auto name = inbound.find("interface_name");
            if (name != inbound.end() && name->is_string() &&
                isValidInterfaceName(name->get_ref<const std::string&>()))
                interfaceName = QString::fromStdString(name->get<std::string>());
        }
    } else if (inbounds != doc.end()) {
        return std::unexpected(QStringLiteral("The VPN configuration's inbounds are not a list"));
    }
    if (tuns != 1)
        return std::unexpected(
            QStringLiteral("The VPN configuration needs exactly one tun inbound"));
    if (!interfaceName)
        return std::unexpected(QStringLiteral(
            "The VPN configuration's tun inbound needs an \"interface_name\" of 1 to 15 letters, "
            "digits, '-', '_' or '.'"));
    return *interfaceName;
}

} // namespace veloxa::tunnel
