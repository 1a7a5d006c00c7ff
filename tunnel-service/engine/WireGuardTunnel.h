#pragma once

#include "WireGuardConfig.h"

#include <expected>
#include <functional>
#include <string>
#include <sys/types.h>

namespace veloxa::engine {

// One WireGuard tunnel on this machine: the interface (the kernel's WireGuard, else
// wireguard-go), its keys and peers, addresses, routes and DNS. With auto_route every
// packet goes through the tunnel except WireGuard's own, which carry a firewall mark and
// skip the tunnel's table. A blackhole at the end of that table keeps traffic from leaving
// unencrypted while the interface is gone (an engine restarting after a crash); only an
// orderly stop or the service's clean-up removes it.
class WireGuardTunnel {
public:
    static constexpr std::uint32_t routingTable = 30309; // also the firewall mark
    static constexpr int suppressPriority = 30307;       // main table, but not its default
    static constexpr int tunnelPriority = 30308;         // unmarked packets: the tunnel

    using Log = std::function<void(const std::string&)>;

    WireGuardTunnel(WireGuardConfig config, Log log);
    ~WireGuardTunnel();
    WireGuardTunnel(const WireGuardTunnel&) = delete;
    WireGuardTunnel& operator=(const WireGuardTunnel&) = delete;

    // Creates and configures everything; on failure removes what it made and says why.
    std::expected<void, std::string> up();
    // Removes what up() made; `keepRoutes` leaves the routing rules and the blackhole.
    void down(bool keepRoutes);
    // The userspace daemon, when it runs one (-1 otherwise).
    pid_t daemonPid() const { return m_daemon; }
    // "kernel" or "wireguard-go".
    const char* implementation() const { return m_daemon > 0 ? "wireguard-go" : "kernel"; }

    static bool interfaceExists(const std::string& name);
    // Leftovers of an engine that was killed: the routing rules and table (unless
    // `keepRoutes`) and the interface, when it is a WireGuard or TUN device.
    static void cleanUp(const std::string& interfaceName, bool keepRoutes, const Log& log);

private:
    std::expected<void, std::string> createInterface();
    std::expected<void, std::string> route();
    void applyDns();
    void stopDaemon();
    static void removeRules();

    WireGuardConfig m_config;
    Log m_log;
    pid_t m_daemon = -1;
    bool m_created = false;
    bool m_dns = false;
};

} // namespace veloxa::engine
