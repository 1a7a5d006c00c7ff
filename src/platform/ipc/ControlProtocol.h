#pragma once

#include <cstddef>

namespace veloxa {

// Raw values of the VPN connection status: what the service reports in its status events
// and replies, and what the client reads back.
enum class VPNStatus : int {
    invalid = 0,
    disconnected = 1,
    connecting = 2,
    connected = 3,
    reasserting = 4,
    disconnecting = 5,
};

} // namespace veloxa

namespace veloxa::control {

// Frame sizes of the tunnel service's control socket, shared by the service and its
// clients so that no reply the service can send is too large for a client.
inline constexpr std::size_t maxRequestBytes = 128 * 1024;
inline constexpr std::size_t maxReplyBytes = 4 * 1024 * 1024;
// A stored configuration, as JSON, and how many the service holds.
inline constexpr std::size_t maxConfigurationBytes = 32 * 1024;
inline constexpr int maxConfigurationsPerUser = 8;
inline constexpr int maxConfigurations = 64;

// The largest reply is root's loadAll with every configuration at its limit, each with its
// status, in one frame.
static_assert(maxConfigurations * (maxConfigurationBytes + 64) + 4096 <= maxReplyBytes);

} // namespace veloxa::control
