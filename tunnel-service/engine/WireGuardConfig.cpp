#include "WireGuardConfig.h"

#include "platform/netext/InterfaceName.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <regex>

namespace veloxa::engine {

using json = nlohmann::json;

namespace {

struct Refusal {
    std::string line;
};

[[noreturn]] void refuse(std::string line) {
    throw Refusal{std::move(line)};
}

const json* find(const json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

const json& requireObject(const json& value, const std::string& what) {
    if (!value.is_object())
        refuse(what + " must be an object");
    return value;
}

const json& requireArray(const json& value, const std::string& what) {
    if (!value.is_array())
        refuse(what + " must be a list");
    return value;
}

std::string requireString(const json& object, const char* key, const std::string& where) {
    const json* value = find(object, key);
    if (!value || !value->is_string() || value->get_ref<const std::string&>().empty())
        refuse(where + " needs \"" + key + "\"");
    return value->get<std::string>();
}

std::optional<long long> optionalInteger(const json& object, const char* key, long long low,
                                         long long high, const std::string& where) {
    const json* value = find(object, key);
    if (!value)
        return std::nullopt;
    if (!value->is_number_integer())
        refuse(where + " \"" + key + "\" must be a whole number");
    const long long n = value->is_number_unsigned()
                            ? static_cast<long long>(std::min<std::uint64_t>(
                                  value->get<std::uint64_t>(), std::uint64_t(high) + 1))
                            : value->get<long long>();
    if (n < low || n > high)
        refuse(where + " \"" + key + "\" must be between " + std::to_string(low) + " and " +
               std::to_string(high));
    return n;
}

std::optional<bool> optionalBool(const json& object, const char* key, const std::string& where) {
    const json* value = find(object, key);
    if (!value)
        return std::nullopt;
    if (!value->is_boolean())
        refuse(where + " \"" + key + "\" must be true or false");
    return value->get<bool>();
}

void onlyKeys(const json& object, std::initializer_list<std::string_view> allowed,
              const std::string& what) {
    for (const auto& [key, value] : object.items())
        if (std::find(allowed.begin(), allowed.end(), key) == allowed.end())
            refuse(what + " key " + inQuotes(key) + " needs sing-box");
}

std::vector<IpPrefix> prefixes(const json& value, bool hostIfBare, const std::string& what) {
    std::vector<IpPrefix> out;
    auto add = [&](const json& item) {
        if (!item.is_string())
            refuse(what + " must hold IP prefixes");
        const auto prefix = IpPrefix::parse(item.get_ref<const std::string&>(), hostIfBare);
        if (!prefix)
            refuse(what + " " + inQuotes(item.get_ref<const std::string&>()) +
                   " is not an IP prefix");
        if (std::find(out.begin(), out.end(), *prefix) == out.end())
            out.push_back(*prefix);
    };
    if (value.is_string())
        add(value);
    else
        for (const auto& item : requireArray(value, what))
            add(item);
    if (out.empty())
        refuse(what + " is empty");
    return out;
}

bool isHostName(std::string_view text) {
    static const std::regex pattern("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9](["
                                    "A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*\\.?$");
    return text.size() <= 253 && std::regex_match(text.begin(), text.end(), pattern);
}

std::string requireKey(const json& object, const char* key, const std::string& where) {
    const std::string text = requireString(object, key, where);
    if (!isWireGuardKey(text))
        refuse(where + " \"" + key + "\" is not a valid WireGuard key");
    return text;
}

std::optional<std::string> optionalKey(const json& object, const char* key,
                                       const std::string& where) {
    if (!find(object, key))
        return std::nullopt;
    return requireKey(object, key, where);
}

WireGuardPeer peerAt(const json& object, const char* hostKey, const char* portKey,
                     const char* publicKeyKey, const std::string& where) {
    WireGuardPeer peer;
    peer.host = requireString(object, hostKey, where);
    if (!IpPrefix::isAddress(peer.host) && !isHostName(peer.host))
        refuse(where + " \"" + hostKey + "\" " + inQuotes(peer.host) +
               " is not a host name or IP address");
    const auto port = optionalInteger(object, portKey, 1, 65535, where);
    if (!port)
        refuse(where + " needs \"" + portKey + "\"");
    peer.port = static_cast<std::uint16_t>(*port);
    peer.publicKey = requireKey(object, publicKeyKey, where);
    peer.presharedKey = optionalKey(object, "pre_shared_key", where);
    return peer;
}

std::vector<IpPrefix> everything() {
    return {*IpPrefix::parse("0.0.0.0/0", false), *IpPrefix::parse("::/0", false)};
}

struct Parsed {
    WireGuardConfig config;
    int wireguards = 0;
    std::size_t allowedIps = 0;
    std::optional<int> tunMtu;
    std::optional<int> wireGuardMtu;
};

void parseEndpoint(const json& endpoint, Parsed& out) {
    const std::string where = "the WireGuard endpoint";
    // "system", "name", "workers" and "udp_timeout" choose how the full engine runs
    // WireGuard; here it is always a system interface named by the tun inbound.
    onlyKeys(endpoint,
             {"type", "tag", "address", "private_key", "peers", "mtu", "system", "name", "workers",
              "udp_timeout"},
             where);
    out.config.addresses = prefixes(
        *[&] {
            const json* a = find(endpoint, "address");
            if (!a)
                refuse(where + " needs \"address\"");
            return a;
        }(),
        false, "the WireGuard endpoint's \"address\"");
    out.config.privateKey = requireKey(endpoint, "private_key", where);
    if (auto mtu = optionalInteger(endpoint, "mtu", 576, 65535, where))
        out.wireGuardMtu = static_cast<int>(*mtu);
    const json* peers = find(endpoint, "peers");
    if (!peers || !peers->is_array() || peers->empty())
        refuse(where + " needs \"peers\"");
    for (const auto& item : *peers) {
        const std::string peerWhere = "a WireGuard peer";
        requireObject(item, peerWhere);
        onlyKeys(item,
                 {"address", "port", "public_key", "pre_shared_key", "allowed_ips",
                  "persistent_keepalive_interval"},
                 peerWhere);
        WireGuardPeer peer = peerAt(item, "address", "port", "public_key", peerWhere);
        const json* allowed = find(item, "allowed_ips");
        // Each one is a route to make and undo, within the service's seconds.
        out.allowedIps += allowed ? (allowed->is_array() ? allowed->size() : 1) : 2;
        if (out.allowedIps > WireGuardConfig::maxAllowedIps)
            refuse("the WireGuard peers have more than " +
                   std::to_string(WireGuardConfig::maxAllowedIps) + " \"allowed_ips\" prefixes");
        peer.allowedIps = allowed ? prefixes(*allowed, false, "a WireGuard peer's \"allowed_ips\"")
                                  : everything();
        if (auto keepalive =
                optionalInteger(item, "persistent_keepalive_interval", 0, 65535, peerWhere))
            peer.persistentKeepalive = static_cast<int>(*keepalive);
        out.config.peers.push_back(std::move(peer));
    }
}

void parseLegacyOutbound(const json& outbound, Parsed& out) {
    const std::string where = "the WireGuard outbound";
    onlyKeys(outbound,
             {"type", "tag", "server", "server_port", "local_address", "private_key",
              "peer_public_key", "pre_shared_key", "mtu", "system_interface", "interface_name",
              "gso", "workers"},
             where);
    const json* local = find(outbound, "local_address");
    if (!local)
        refuse(where + " needs \"local_address\"");
    out.config.addresses = prefixes(*local, true, "the WireGuard outbound's \"local_address\"");
    out.config.privateKey = requireKey(outbound, "private_key", where);
    if (auto mtu = optionalInteger(outbound, "mtu", 576, 65535, where))
        out.wireGuardMtu = static_cast<int>(*mtu);
    WireGuardPeer peer = peerAt(outbound, "server", "server_port", "peer_public_key", where);
    peer.allowedIps = everything();
    out.config.peers.push_back(std::move(peer));
}

void parseTun(const json& tun, Parsed& out) {
    const std::string where = "the tun inbound";
    // What the full engine's own tun needs (its stack, addresses, sniffing) makes no
    // difference to a WireGuard interface; anything that routes differently is refused.
    // strict_route is what the leak guard always does with auto_route.
    onlyKeys(tun,
             {"type", "tag", "interface_name", "mtu", "auto_route", "strict_route", "stack",
              "address", "inet4_address", "inet6_address", "sniff", "sniff_override_destination",
              "endpoint_independent_nat", "udp_timeout", "gso", "domain_strategy"},
             where);
    const json* name = find(tun, "interface_name");
    if (!name || !name->is_string() ||
        !veloxa::isValidInterfaceName(name->get_ref<const std::string&>()))
        refuse(where + " needs an \"interface_name\" of 1 to 15 letters, digits, '-', '_' or '.'");
    out.config.interfaceName = name->get<std::string>();
    out.config.autoRoute = optionalBool(tun, "auto_route", where).value_or(false);
    if (auto mtu = optionalInteger(tun, "mtu", 576, 65535, where))
        out.tunMtu = static_cast<int>(*mtu);
}

// A server queried over plain UDP or TCP port 53, in the older ("address": "1.1.1.1",
// "udp://1.1.1.1") or the newer shape ("type": "udp", "server": "1.1.1.1").
std::optional<std::string> plainDnsServer(const json& server) {
    if (!server.is_object())
        return std::nullopt;
    const json* type = find(server, "type");
    const json* address = find(server, type ? "server" : "address");
    if (!address || !address->is_string())
        return std::nullopt;
    std::string text = address->get<std::string>();
    if (type && (!type->is_string() || (*type != "udp" && *type != "tcp")))
        return std::nullopt;
    for (const char* scheme : {"udp://", "tcp://"})
        if (!type && text.starts_with(scheme))
            text.erase(0, std::string_view(scheme).size());
    const json* port = find(server, "server_port");
    if ((port && *port != 53) || !IpPrefix::isAddress(text))
        return std::nullopt;
    return IpPrefix::parse(text, true)->address;
}

void parseDns(const json& dns, WireGuardConfig& config) {
    requireObject(dns, "\"dns\"");
    onlyKeys(
        dns,
        {"servers", "final", "strategy", "disable_cache", "disable_expire", "independent_cache"},
        "dns");
    const json* servers = find(dns, "servers");
    if (!servers)
        return;
    for (const auto& server : requireArray(*servers, "\"dns.servers\"")) {
        if (auto address = plainDnsServer(server))
            config.dnsServers.push_back(*address);
        else
            config.notes.push_back("a DNS server that is not a plain address was skipped");
    }
}

} // namespace

std::string inQuotes(std::string_view text) {
    std::string out = "\"";
    for (const char c : text.substr(0, 64))
        out += (c >= 0x20 && c != 0x7f && c != '"' && c != '(' && c != ')') ? c : '?';
    return out + '"';
}

std::optional<IpPrefix> IpPrefix::parse(std::string_view text, bool hostIfBare) {
    if (text.find('\0') != std::string_view::npos) // the address parser would stop there
        return std::nullopt;
    const auto slash = text.find('/');
    const std::string address(text.substr(0, slash));
    IpPrefix out;
    unsigned char bytes[16];
    if (::inet_pton(AF_INET, address.c_str(), bytes) == 1)
        out.v6 = false;
    else if (::inet_pton(AF_INET6, address.c_str(), bytes) == 1)
        out.v6 = true;
    else
        return std::nullopt;
    char canonical[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(out.v6 ? AF_INET6 : AF_INET, bytes, canonical, sizeof canonical);
    out.address = canonical;
    const int maxLength = out.v6 ? 128 : 32;
    if (slash == std::string_view::npos) {
        if (!hostIfBare)
            return std::nullopt;
        out.length = maxLength;
        return out;
    }
    const std::string_view digits = text.substr(slash + 1);
    int length = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() ||
        digits.size() > 3 || length < 0 || length > maxLength)
        return std::nullopt;
    out.length = length;
    return out;
}

bool IpPrefix::contains(const std::string& other) const {
    const int family = v6 ? AF_INET6 : AF_INET;
    unsigned char mine[16], theirs[16];
    if (::inet_pton(family, address.c_str(), mine) != 1 ||
        ::inet_pton(family, other.c_str(), theirs) != 1)
        return false;
    for (int bit = 0; bit < length; ++bit) {
        const int mask = 0x80 >> (bit % 8);
        if ((mine[bit / 8] & mask) != (theirs[bit / 8] & mask))
            return false;
    }
    return true;
}

bool isWireGuardKey(std::string_view text) {
    // 32 bytes are 43 base64 digits and one '=' of padding; the last digit carries only
    // four bits, so it is one of the digits whose two low bits are zero.
    static constexpr std::string_view digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.size() != 44 || text[43] != '=')
        return false;
    for (std::size_t i = 0; i < 43; ++i) {
        const auto index = digits.find(text[i]);
        if (index == std::string_view::npos || (i == 42 && (index & 3) != 0))
            return false;
    }
    return true;
}

std::expected<WireGuardConfig, std::string> WireGuardConfig::parse(const json& document) {
    try {
        if (!document.is_object())
            refuse("the tunnel settings are not a JSON object");
        onlyKeys(document, {"log", "dns", "inbounds", "outbounds", "endpoints", "route"},
                 "top-level");
        Parsed out;
        if (const json* log = find(document, "log"))
            onlyKeys(requireObject(*log, "\"log\""), {"level", "timestamp", "disabled"}, "log");
        if (const json* route = find(document, "route"))
            onlyKeys(requireObject(*route, "\"route\""), {"final", "auto_detect_interface"},
                     "route");
        if (const json* dns = find(document, "dns"))
            parseDns(*dns, out.config);

        int tuns = 0;
        if (const json* inbounds = find(document, "inbounds")) {
            for (const auto& inbound : requireArray(*inbounds, "\"inbounds\"")) {
                const std::string type =
                    requireString(requireObject(inbound, "an inbound"), "type", "an inbound");
                if (type != "tun")
                    refuse("inbound type " + inQuotes(type) + " needs sing-box");
                if (++tuns == 1)
                    parseTun(inbound, out);
            }
        }
        if (tuns != 1)
            refuse("the tunnel settings need exactly one tun inbound");

        if (const json* endpoints = find(document, "endpoints")) {
            for (const auto& endpoint : requireArray(*endpoints, "\"endpoints\"")) {
                const std::string type =
                    requireString(requireObject(endpoint, "an endpoint"), "type", "an endpoint");
                if (type != "wireguard")
                    refuse("endpoint type " + inQuotes(type) + " needs sing-box");
                if (++out.wireguards == 1)
                    parseEndpoint(endpoint, out);
            }
        }
        if (const json* outbounds = find(document, "outbounds")) {
            for (const auto& outbound : requireArray(*outbounds, "\"outbounds\"")) {
                const std::string type =
                    requireString(requireObject(outbound, "an outbound"), "type", "an outbound");
                if (type == "wireguard") {
                    if (++out.wireguards == 1)
                        parseLegacyOutbound(outbound, out);
                } else if (type != "direct" && type != "block" && type != "dns") {
                    refuse("outbound type " + inQuotes(type) + " needs sing-box");
                }
            }
        }
        if (out.wireguards == 0)
            refuse("the tunnel settings have no WireGuard peer");
        if (out.wireguards > 1)
            refuse("the tunnel settings have more than one WireGuard endpoint");

        WireGuardConfig config = std::move(out.config);
        config.mtu = out.wireGuardMtu.value_or(out.tunMtu.value_or(1420));
        const bool hasV6 = std::any_of(config.addresses.begin(), config.addresses.end(),
                                       [](const IpPrefix& p) { return p.v6; });
        if (hasV6 && config.mtu < 1280)
            refuse("an IPv6 tunnel needs an \"mtu\" of at least 1280");
        return config;
    } catch (const Refusal& refusal) {
        return std::unexpected(refusal.line);
    }
}

std::string WireGuardConfig::wgConfig(const std::vector<std::string>& endpoints,
                                      std::optional<std::uint32_t> fwmark) const {
    // Every value below was checked by parse() (keys are base64, prefixes canonical,
    // endpoints resolved to numbers), so none can add a line of its own.
    std::string out = "[Interface]\nPrivateKey = " + privateKey + '\n';
    if (fwmark)
        out += "FwMark = " + std::to_string(*fwmark) + '\n';
    for (std::size_t i = 0; i < peers.size(); ++i) {
        const WireGuardPeer& peer = peers[i];
        out += "\n[Peer]\nPublicKey = " + peer.publicKey + '\n';
        if (peer.presharedKey)
            out += "PresharedKey = " + *peer.presharedKey + '\n';
        if (i < endpoints.size())
            out += "Endpoint = " + endpoints[i] + '\n';
        out += "AllowedIPs = ";
        for (std::size_t j = 0; j < peer.allowedIps.size(); ++j)
            out += (j ? ", " : "") + peer.allowedIps[j].text();
        out += '\n';
        if (peer.persistentKeepalive > 0)
            out += "PersistentKeepalive = " + std::to_string(peer.persistentKeepalive) + '\n';
    }
    return out;
}

} // namespace veloxa::engine
