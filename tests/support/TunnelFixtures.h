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
// Saves a configuration running `engine`, starts it and waits until it is connected; its
// identifier, or nothing when that did not happen.
QString connectTunnel(RawControlClient& client, const std::string& engine);
// A JSON value as text: strings as they are, anything else as JSON.
QString text(const nlohmann::json& value);
// The "error" of a reply, or "(no reply)".
QString errorOf(const std::optional<nlohmann::json>& reply);

} // namespace fixtures
