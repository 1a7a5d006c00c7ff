#pragma once

#include "Host.h"
#include "WireGuardConfig.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace veloxa::engine {

using Log = std::function<void(const std::string&)>;

// One change the engine makes to the system, as the ledger records it: a JSON object with
// a "kind" and exactly the fields needed to undo it. Undoing derives everything from the
// record, never from the engine's defaults, so a record of an older run undoes that run.
namespace change {

constexpr std::uint32_t mainTable = 254;

// Routes in `table` through `device`, made and undone in one "ip -batch" each however
// many there are; without a device, blackholes of the lowest precedence, which answer
// only while nothing better is there.
nlohmann::json routes(const std::vector<IpPrefix>& destinations, std::uint32_t table,
                      const std::optional<std::string>& device);
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

// The tool's command that makes (`add`) or undoes a routes, rule or firewall table change,
// and what it reads (the routes' lines); both come from the same record, so the undo
// names exactly what was made.
std::vector<std::string> command(const nlohmann::json& change, bool add);
std::string input(const nlohmann::json& change, bool add);
// How many of the routes a failed "ip -batch" made: it stops at the first line that fails.
std::size_t madeBefore(const std::string& output);

// Empty when `change` is a well-formed record, else what is wrong with it.
std::string check(const nlohmann::json& change);

// Undoes a checked change. Something already gone is fine; an interface that is no longer
// the one the record names is left alone.
void revert(const Host& host, const nlohmann::json& change, const Log& log);

// wireguard-go's control socket for the interface (a path under the host's root). wg
// talks to it before the kernel's interface of that name, and every network namespace
// shares its folder.
std::string socketPath(const std::string& interfaceName);
// Who answers on that socket: nothing when no one does (a dead daemon's socket is then
// removed, unless a daemon may be starting), else the listening process (0 when it is not
// known, as with a full queue).
std::optional<pid_t> socketListener(const Host& host, const std::string& interfaceName,
                                    bool removeDead = true);
inline void removeStaleSocket(const Host& host, const std::string& interfaceName) {
    socketListener(host, interfaceName);
}

} // namespace change
} // namespace veloxa::engine
