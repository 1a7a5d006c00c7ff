#pragma once

#include "support/TunnelServiceProcess.h"

#include <nlohmann/json.hpp>

#include <optional>

// What the tunnel tests say to a tunnel service, in one place.
namespace fixtures {

// A configuration as the client saves it, with `engine` as its tunnel-engine document.
nlohmann::json configuration(const QString& name, const std::string& engine, bool enabled = true);
// Saves `configuration`; its identifier, or nothing when the service refused it.
QString save(RawControlClient& client, const nlohmann::json& configuration);
// A tunnel-engine document with a tun inbound on `interface` and fake-engine's `options`.
inline std::string engine(const QString& interface, const nlohmann::json& options = {}) {
    return TunnelServiceProcess::engineConfig(interface, options);
}
// Saves a configuration running engine(interface, options); its identifier or nothing.
QString saveTunnel(RawControlClient& client, const QString& interface,
                   const nlohmann::json& options = {}, bool enabled = true);
// Saves one, starts it and waits until it is connected; its identifier, or nothing when
// that did not happen.
QString connectTunnel(RawControlClient& client, const QString& interface,
                      const nlohmann::json& options = {});
// Every configuration the service at `controlSocket` holds (loadAll).
nlohmann::json storedConfigurations(const QString& controlSocket);
// A JSON value as text: strings as they are, anything else as JSON.
QString text(const nlohmann::json& value);
// The "error" of a reply, or "(no reply)".
QString errorOf(const std::optional<nlohmann::json>& reply);

} // namespace fixtures
