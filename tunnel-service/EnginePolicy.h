#pragma once

#include <QString>
#include <expected>
#include <string_view>

namespace veloxa::tunnel {

// What a tunnel-engine document may ask of an engine that runs as root. Group members
// write these documents, so anything that would make the engine read, write or serve
// files, or listen on sockets, is refused before any engine sees it; what remains is a
// tun inbound and the proxies behind it.
class EnginePolicy {
public:
    static constexpr int maxDepth = 32;

    // The tun inbound's interface name, or why the document is refused (for the user).
    static std::expected<QString, QString> check(std::string_view document);
};

} // namespace veloxa::tunnel
