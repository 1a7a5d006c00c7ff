#pragma once

#include "Host.h"
#include "Ledger.h"
#include "WireGuardConfig.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

namespace veloxa::engine {

// Where the engine looks for a free routing table (also its firewall mark) and a free pair
// of adjacent rule priorities; both stay below the main table's rule (32766).
struct SearchRange {
    std::uint32_t firstTable = 30309;
    std::uint32_t lastTable = 30408;
    int firstPriority = 30307;
    int lastPriority = 30406;
};

// The first table with no routes that no rule looks up and whose number no rule uses as a
// mark, and the first two adjacent priorities no rule uses, from "ip -N -j rule/route"
// output of both families; an error line when the range is used up.
std::expected<RoutingChoice, std::string> chooseRouting(const std::vector<nlohmann::json>& rules,
                                                        const std::vector<nlohmann::json>& routes,
                                                        const SearchRange& range = {});

// The local network: prefixes the main table reaches directly through interfaces other
// than `tunnel` ("ip -j route show table main" of either family).
std::vector<IpPrefix> onLinkPrefixes(const nlohmann::json& mainRoutes, const std::string& tunnel);

// The WireGuard server's address: an IP literal as it is, a name through `resolve`, its
// first IPv4 address, else its first IPv6 one.
std::expected<Endpoint, std::string> resolveEndpoint(const std::string& host, std::uint16_t port,
                                                     const Resolver& resolve);

// The leak guard, one nftables table loaded in one go: leaving the machine is allowed
// through the tunnel, to the WireGuard server with WireGuard's mark, to the local network;
// DNS outside the tunnel and everything else is refused, so programs fail at once.
struct GuardSettings {
    std::string table;
    std::string interfaceName;
    std::uint32_t fwmark = 0;
    std::vector<Endpoint> endpoints;
    std::vector<IpPrefix> localNetworks;
};
std::string guardRules(const GuardSettings& settings);

// DNS to anywhere but the tunnel goes to the tunnel's DNS server instead (one per family,
// empty for none), with the tunnel's address as its source so the exit answers it.
struct DnsRedirect {
    std::string table;
    std::string interfaceName;
    std::vector<Endpoint> endpoints;
    std::string server4, server6;
};
std::string dnsRedirectRules(const DnsRedirect& settings);

} // namespace veloxa::engine
