#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

namespace veloxa::engine {

// An address with its prefix length, checked and written in canonical form.
struct IpPrefix {
    bool v6 = false;
    std::string address; // canonical text of the address
    int length = 0;

    // "10.0.0.2/32", "fd00::2/128"; a bare address is a host prefix when `hostIfBare`.
    static std::optional<IpPrefix> parse(std::string_view text, bool hostIfBare);
    // An address written without a prefix length, as a server or DNS server is given.
    static bool isAddress(std::string_view text) {
        return text.find('/') == std::string_view::npos && parse(text, true).has_value();
    }
    std::string text() const { return address + '/' + std::to_string(length); }
    bool isDefault() const { return length == 0; }
    // Whether the address (canonical text of the same family) lies within this prefix.
    bool contains(const std::string& other) const;
    bool operator==(const IpPrefix&) const = default;
};

struct WireGuardPeer {
    std::string host; // name or address, as configured; resolved once at start
    std::uint16_t port = 0;
    std::string publicKey;
    std::optional<std::string> presharedKey;
    std::vector<IpPrefix> allowedIps;
    int persistentKeepalive = 0; // seconds, 0 = off
};

// The part of the tunnel-engine document that the built-in engine runs: one tun inbound,
// one WireGuard peer (endpoint or the older outbound shape), plain DNS servers. Anything
// that would route differently from what the document asks is refused by name, so a
// configuration meant for the full engine never runs half-understood.
struct WireGuardConfig {
    std::string interfaceName;
    bool autoRoute = false;
    int mtu = 1420;
    std::vector<IpPrefix> addresses;
    std::string privateKey;
    std::vector<WireGuardPeer> peers;
    std::vector<std::string> dnsServers; // IP literals
    std::vector<std::string> notes;      // what was accepted but not applied, one line each

    // Prefixes in all peers' "allowed_ips" together.
    static constexpr std::size_t maxAllowedIps = 256;

    // Fails with one line for the user, naming what is unsupported or wrong.
    static std::expected<WireGuardConfig, std::string> parse(const nlohmann::json& document);

    // The text `wg setconf` reads; `endpoints` holds each peer's resolved "address:port".
    std::string wgConfig(const std::vector<std::string>& endpoints,
                         std::optional<std::uint32_t> fwmark) const;
};

// A WireGuard key: 32 bytes in standard base64 (44 characters).
bool isWireGuardKey(std::string_view text);

// Text from the document as the engine echoes it: quoted, one short line, and never
// reading as the ready line the service waits for (no parentheses, no quotes).
std::string inQuotes(std::string_view text);

} // namespace veloxa::engine
