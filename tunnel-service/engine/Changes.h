#pragma once

#include "Host.h"
#include "WireGuardConfig.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace veloxa::engine {

using Log = std::function<void(const std::string&)>;

// One change the engine makes to the system, as the ledger records it: a JSON object with
// a "kind" and exactly the fields needed to undo it. Undoing derives everything from the
// record, never from the engine's defaults, so a record of an older run undoes that run.
namespace change {

constexpr std::uint32_t mainTable = 254;

nlohmann::json route(const IpPrefix& destination, std::uint32_t table,
                     const std::optional<std::string>& device);
// A blackhole of the lowest precedence: it answers only while nothing better is there.
nlohmann::json blackhole(const IpPrefix& destination, std::uint32_t table);
// "ip rule": lookup `table`, for packets without `notMark` when given; with
// `suppressDefault` the table's default routes are skipped.
nlohmann::json rule(bool v6, int priority, std::uint32_t table,
                    std::optional<std::uint32_t> notMark, bool suppressDefault);
nlohmann::json firewallTable(const std::string& name);
// The interface this engine created; `ifindex` is null until it is known.
nlohmann::json link(const std::string& name, std::optional<int> ifindex, bool daemon);
nlohmann::json resolvedLink(const std::string& name);
nlohmann::json sysctl(const std::string& key, const std::string& previous,
                      const std::string& value);

// The tool's command that makes (`add`) or undoes a route, rule or firewall table change;
// both come from the same record, so the undo names exactly what was made.
std::vector<std::string> command(const nlohmann::json& change, bool add);

// Empty when `change` is a well-formed record, else what is wrong with it.
std::string check(const nlohmann::json& change);

// Undoes a checked change. Something already gone is fine; an interface that is no longer
// the one the record names is left alone.
void revert(const Host& host, const nlohmann::json& change, const Log& log);

// wireguard-go's control socket for the interface (a path under the host's root).
std::string socketPath(const std::string& interfaceName);
// Removes the socket when no daemon answers on it: a live one is not ours to remove.
void removeStaleSocket(const Host& host, const std::string& interfaceName);

} // namespace change
} // namespace veloxa::engine
