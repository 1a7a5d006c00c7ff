#pragma once

#include "Host.h"
#include "Ledger.h"
#include "WireGuardConfig.h"

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace veloxa::engine {

// One WireGuard tunnel on this machine, brought up as ordered steps. Connection-lived
// steps keep traffic in for the whole connection, also while the engine restarts after a
// crash: the leak guard (a firewall table), the engine's own routing table with a
// blackhole under its routes and the rules that send traffic there, the DNS redirect.
// Run-lived steps live as long as one engine run: the interface (the kernel's WireGuard,
// else wireguard-go) with its keys and addresses, the routes through it, systemd-resolved's
// per-link DNS. Every change is written to the ledger before it is made; undoing replays
// the ledger, so only what the engine made is ever removed.
class WireGuardTunnel {
public:
    static constexpr const char* guardTable = "veloxa";
    static constexpr const char* dnsTable = "veloxa-dns";

    // `previous` is the ledger found at `statePath` when the engine started, if any.
    WireGuardTunnel(WireGuardConfig config, const Host& host, std::string statePath,
                    std::optional<Ledger> previous, Log log);
    ~WireGuardTunnel();
    WireGuardTunnel(const WireGuardTunnel&) = delete;
    WireGuardTunnel& operator=(const WireGuardTunnel&) = delete;

    // Brings everything up. Fresh: a leftover ledger is undone completely first and the
    // servers are resolved. Resuming: what the ledger keeps of the connection stays (with
    // other settings, only the leak guard, which takes them in one transaction), the dead
    // run's leftovers go, the recorded server addresses are reused. On failure the caller
    // decides what to undo (down()); `interrupted` is asked between steps.
    std::expected<void, std::string> up(bool resume, const std::function<bool()>& interrupted);
    bool wasInterrupted() const { return m_interrupted; }
    // Undoes what the ledger records: everything, or only the run-lived steps.
    void down(bool keepConnection);

    // "kernel" or "wireguard-go".
    const char* implementation() const { return m_daemon > 0 ? "wireguard-go" : "kernel"; }
    // Why the data path is gone (wireguard-go ended, the interface vanished), or nothing
    // while it runs.
    std::optional<std::string> dataPathGone();
    // Whether the interface this run made is still there.
    bool linkAlive() const;

    // What the kept steps of a connection depend on; a resumed run with other settings
    // starts afresh.
    static std::string fingerprint(const WireGuardConfig& config);

private:
    struct Step {
        const char* name;
        Lifetime lifetime;
        std::expected<void, std::string> (WireGuardTunnel::*apply)();
    };
    static const std::vector<Step>& plan();

    std::expected<void, std::string> applyGuard();
    std::expected<void, std::string> applyRouting();
    std::expected<void, std::string> applyDnsRedirect();
    std::expected<void, std::string> applyLink();
    std::expected<void, std::string> applyRoutes();
    std::expected<void, std::string> applyResolved();

    std::expected<void, std::string> resolveEndpoints();
    std::expected<void, std::string> chooseRouting();
    // Records `change`, then makes it with its tool; forgets it again when that fails.
    std::expected<void, std::string> make(const nlohmann::json& change, const std::string& what,
                                          const std::string& input = {});
    std::expected<void, std::string> createWithDaemon();
    // wg configures whatever answers on the interface's socket: no one may but this run's
    // wireguard-go, if it has one.
    std::expected<void, std::string> socketIsOurs() const;
    void stopDaemon();

    bool carries(bool v6) const;
    bool fullTunnel(bool v6) const;
    // Of one family, or of both.
    std::vector<IpPrefix> routedPrefixes(std::optional<bool> v6 = std::nullopt) const;

    WireGuardConfig m_config;
    const Host& m_host;
    Ledger m_ledger;
    std::optional<Ledger> m_previous;
    Log m_log;
    pid_t m_daemon = -1;
    int m_ifindex = -1;
    bool m_interrupted = false;
};

} // namespace veloxa::engine
