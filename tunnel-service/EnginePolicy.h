#pragma once

#include <QString>
#include <cstddef>
#include <expected>
#include <string_view>

namespace veloxa::tunnel {

// What a tunnel-engine document may ask of an engine that runs as root. Group members
// write these documents, so only what a VPN client's tunnel needs is accepted: one tun
// inbound, DNS servers, the usual proxy and WireGuard outbounds, plain routing rules. Every
// other key is refused by name, exactly as written (an engine that matches keys without
// regard to case would otherwise read "Log" as "log"), and so is a key given twice (one
// reader could take the harmless copy, the engine the other). Nothing accepted names a
// file, listens, fetches remote content or writes a cache.
class EnginePolicy {
public:
    static constexpr int maxDepth = 32;
    // WireGuard "allowed_ips" prefixes of all peers together: each is a route to make and undo.
    static constexpr std::size_t maxAllowedIps = 256; // the refusal's text names it

    // The tun inbound's interface name, or why the document is refused (for the user, one
    // line naming the key).
    static std::expected<QString, QString> check(std::string_view document);
};

} // namespace veloxa::tunnel
