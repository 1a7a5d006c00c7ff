#include "WireGuardTunnel.h"

#include "Network.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace veloxa::engine {

using json = nlohmann::json;
using namespace std::chrono_literals;

namespace {

std::string family(bool v6) {
    return v6 ? "-6" : "-4";
}

std::vector<json> jsonList(const CommandResult& result) {
    if (!result.ok())
        return {};
    const json parsed = json::parse(result.output, nullptr, false);
    return parsed.is_array() ? parsed.get<std::vector<json>>() : std::vector<json>{};
}

std::string readLink(const std::string& path) {
    char target[256] = {};
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// systemd-resolved knows interfaces by index in its own network namespace; from another
// one the same index is some other interface of the host.
bool inSystemNamespace(const Host& host) {
    const std::string mine = readLink(host.path("/proc/self/ns/net"));
    const std::string system = readLink(host.path("/proc/1/ns/net"));
    if (!system.empty())
        return mine == system;
    // Where process 1 is hidden (the unit's ProtectProc), a namespace made by "ip netns"
    // still has its name under /run/netns.
    struct stat self {};
    if (::stat(host.path("/proc/self/ns/net").c_str(), &self) != 0)
        return false;
    DIR* names = ::opendir(host.path("/run/netns").c_str());
    bool named = false;
    while (const dirent* entry = names ? ::readdir(names) : nullptr) {
        struct stat other {};
        named = named || (::stat((host.path("/run/netns/") + entry->d_name).c_str(), &other) == 0 &&
                          other.st_ino == self.st_ino && other.st_dev == self.st_dev);
    }
    if (names)
        ::closedir(names);
    return !named;
}

const char* srcValidMark = "net/ipv4/conf/all/src_valid_mark";

} // namespace

WireGuardTunnel::WireGuardTunnel(WireGuardConfig config, const Host& host, std::string statePath,
                                 std::optional<Ledger> previous, Log log)
    : m_config(std::move(config)), m_host(host), m_ledger(std::move(statePath)),
      m_previous(std::move(previous)), m_log(std::move(log)) {}

WireGuardTunnel::~WireGuardTunnel() {
    stopDaemon();
}

const std::vector<WireGuardTunnel::Step>& WireGuardTunnel::plan() {
    // Connection-lived steps first, the guard before anything can leave; a resumed run
    // keeps the ones its ledger holds, which are therefore always a prefix of these.
    static const std::vector<Step> steps{
        {"guard", Lifetime::Connection, &WireGuardTunnel::applyGuard},
        {"routing", Lifetime::Connection, &WireGuardTunnel::applyRouting},
        {"dns-redirect", Lifetime::Connection, &WireGuardTunnel::applyDnsRedirect},
        {"link", Lifetime::Run, &WireGuardTunnel::applyLink},
        {"routes", Lifetime::Run, &WireGuardTunnel::applyRoutes},
        {"resolved", Lifetime::Run, &WireGuardTunnel::applyResolved},
    };
    return steps;
}

std::string WireGuardTunnel::fingerprint(const WireGuardConfig& config) {
    std::string text = config.interfaceName + (config.autoRoute ? "|auto|" : "|");
    for (const auto& address : config.addresses)
        text += address.text() + ',';
    for (const auto& peer : config.peers) {
        text += '|' + peer.host + ':' + std::to_string(peer.port) + '>';
        for (const auto& prefix : peer.allowedIps)
            text += prefix.text() + ',';
    }
    for (const auto& server : config.dnsServers)
        text += '|' + server;
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

std::expected<void, std::string> WireGuardTunnel::up(bool resume,
                                                     const std::function<bool()>& interrupted) {
    const std::string print = fingerprint(m_config);
    // A resumed connection keeps holding traffic in. With other settings only its guard
    // stays, and takes them in one go when its step comes; without auto_route there is none.
    // A server that is new by name could not be looked up behind the guard, which holds DNS
    // too: that start goes afresh.
    const auto known = [&](const WireGuardPeer& peer) {
        return IpPrefix::isAddress(peer.host) ||
               std::ranges::any_of(m_previous->endpoints, [&](const Endpoint& e) {
                   return e.host == peer.host && e.port == peer.port;
               });
    };
    bool replacing = false;
    if (m_previous && resume &&
        (m_previous->fingerprint == print ||
         (m_config.autoRoute && std::ranges::all_of(m_config.peers, known)))) {
        replacing = m_previous->fingerprint != print;
        m_ledger = std::move(*m_previous);
        m_ledger.revert(m_host, true, m_log); // the dead run's interface, routes and DNS
    } else {
        if (m_previous)
            m_previous->revert(m_host, false, m_log);
        m_ledger.fingerprint = print;
    }
    m_previous.reset();

    if (auto resolved = resolveEndpoints(); !resolved)
        return resolved;
    if (replacing) {
        m_log("the tunnel settings changed; their routing is set up again behind the leak guard");
        m_ledger.revert(m_host, true, m_log, "guard");
        m_ledger.routing.reset();
        m_ledger.fingerprint = print;
    }
    if (auto chosen = chooseRouting(); !chosen)
        return chosen;
    for (const Step& step : plan()) {
        if (interrupted && interrupted()) {
            m_interrupted = true;
            return std::unexpected("interrupted");
        }
        if (step.lifetime == Lifetime::Connection && m_ledger.holds(step.name)) {
            // A kept guard is reloaded for this run's interface, server and network.
            if (step.apply == &WireGuardTunnel::applyGuard)
                if (auto reloaded = applyGuard(); !reloaded)
                    return reloaded;
            continue;
        }
        m_ledger.beginStep(step.name, step.lifetime);
        if (auto done = (this->*step.apply)(); !done)
            return done;
        if (auto saved = m_ledger.completeStep(); !saved)
            return saved;
    }
    return {};
}

void WireGuardTunnel::down(bool keepConnection) {
    m_ledger.revert(m_host, keepConnection, m_log);
    if (m_daemon > 0) {
        stopDaemon();
        change::removeStaleSocket(m_host, m_config.interfaceName);
    }
    m_ifindex = -1;
}

std::optional<std::string> WireGuardTunnel::dataPathGone() {
    int status = 0;
    if (m_daemon > 0 && ::waitpid(m_daemon, &status, WNOHANG) == m_daemon) {
        m_daemon = -1; // reaped: its number may belong to another process from now on
        return "wireguard-go ended unexpectedly";
    }
    if (!linkAlive())
        return "the interface " + m_config.interfaceName + " disappeared";
    return std::nullopt;
}

bool WireGuardTunnel::linkAlive() const {
    return m_ifindex > 0 && m_host.ifindex(m_config.interfaceName) == m_ifindex;
}

std::expected<void, std::string> WireGuardTunnel::resolveEndpoints() {
    // Once per connection and server: while resuming, the guard and the blackhole hold
    // DNS too, and the server's address must not change under the kept firewall rules.
    std::vector<Endpoint> endpoints;
    for (const auto& peer : m_config.peers) {
        const auto known = std::ranges::find_if(m_ledger.endpoints, [&](const Endpoint& e) {
            return e.host == peer.host && e.port == peer.port;
        });
        auto endpoint = known != m_ledger.endpoints.end()
                            ? std::expected<Endpoint, std::string>(*known)
                            : resolveEndpoint(peer.host, peer.port, m_host.resolve);
        if (!endpoint)
            return std::unexpected(endpoint.error());
        endpoints.push_back(std::move(*endpoint));
    }
    if (endpoints == m_ledger.endpoints)
        return {};
    m_ledger.endpoints = std::move(endpoints);
    return m_ledger.save();
}

std::expected<void, std::string> WireGuardTunnel::chooseRouting() {
    if (m_ledger.routing && !m_ledger.empty())
        return {}; // the kept rules and guard use these
    std::vector<json> rules, routes;
    for (const bool v6 : {false, true}) {
        if (v6 && !m_host.ipv6())
            continue;
        for (auto& rule : jsonList(m_host.run({"ip", "-N", family(v6), "-j", "rule", "show"})))
            rules.push_back(std::move(rule));
        for (auto& route :
             jsonList(m_host.run({"ip", "-N", family(v6), "-j", "route", "show", "table", "all"})))
            routes.push_back(std::move(route));
    }
    auto choice = engine::chooseRouting(rules, routes);
    if (!choice)
        return std::unexpected("cannot route the tunnel: " + choice.error());
    m_ledger.routing = *choice;
    return m_ledger.save();
}

bool WireGuardTunnel::carries(bool v6) const {
    // A family goes through the tunnel only when the tunnel has an address of it.
    return (!v6 || m_host.ipv6()) &&
           std::ranges::any_of(m_config.addresses, [&](const IpPrefix& a) { return a.v6 == v6; });
}

bool WireGuardTunnel::fullTunnel(bool v6) const {
    const auto prefixes = routedPrefixes(v6);
    return std::ranges::any_of(prefixes, [](const IpPrefix& p) { return p.isDefault(); });
}

std::vector<IpPrefix> WireGuardTunnel::routedPrefixes(std::optional<bool> v6) const {
    std::vector<IpPrefix> out;
    for (const auto& peer : m_config.peers)
        for (const auto& prefix : peer.allowedIps)
            if ((!v6 || prefix.v6 == *v6) && carries(prefix.v6) &&
                (m_config.autoRoute || !prefix.isDefault()) &&
                std::ranges::find(out, prefix) == out.end())
                out.push_back(prefix);
    return out;
}

std::expected<void, std::string> WireGuardTunnel::make(const json& change, const std::string& what,
                                                       const std::string& input) {
    auto index = m_ledger.record(change);
    if (!index)
        return std::unexpected(index.error());
    const auto argv = change::command(change, true);
    const auto result = m_host.run(argv, input.empty() ? change::input(change, true) : input);
    if (result.ok())
        return {};
    // The routes an "ip -batch" made before a line failed stay recorded; when it was cut
    // short nobody knows how far it got, and undoing a route never made is harmless.
    const std::size_t made = !change.contains("destinations") ? 0
                             : result.exitCode < 0            ? change["destinations"].size()
                                                   : std::min(change::madeBefore(result.output),
                                                              change["destinations"].size());
    if (made > 0) {
        json kept = change;
        kept["destinations"].erase(kept["destinations"].begin() + std::ptrdiff_t(made),
                                   kept["destinations"].end());
        m_ledger.update(*index, std::move(kept));
    } else {
        m_ledger.forget(*index);
    }
    return std::unexpected("cannot " + what + ": " +
                           (result.exitCode == 127 && result.output.empty()
                                ? argv.front() + " is not installed"
                                : firstLine(result.output)));
}

std::expected<void, std::string> WireGuardTunnel::applyGuard() {
    if (!m_config.autoRoute)
        return {};
    // The name is the proof of ownership: one that is there and not in the ledger belongs
    // to someone else.
    const bool kept = m_ledger.holds("guard");
    if (!kept && m_host.run({"nft", "list", "table", "inet", guardTable}).ok())
        return std::unexpected(std::string("the firewall table inet ") + guardTable +
                               " already exists");
    GuardSettings settings{
        guardTable, m_config.interfaceName, m_ledger.routing->fwmark, m_ledger.endpoints, {}};
    for (const bool v6 : {false, true}) {
        if (v6 && !m_host.ipv6())
            continue;
        const auto main = m_host.run({"ip", family(v6), "-j", "route", "show", "table", "main"});
        for (auto& prefix : onLinkPrefixes(json(jsonList(main)), m_config.interfaceName))
            settings.localNetworks.push_back(std::move(prefix));
    }
    if (!kept)
        return make(change::firewallTable(guardTable), "set up the leak guard",
                    guardRules(settings));
    // Replaced in one transaction: there is no moment without it.
    const std::string table = std::string("table inet ") + guardTable;
    const auto reloaded = m_host.run({"nft", "-f", "-"},
                                     table + " {}\ndelete " + table + '\n' + guardRules(settings));
    if (!reloaded.ok())
        return std::unexpected("cannot renew the leak guard: " + firstLine(reloaded.output));
    return {};
}

std::expected<void, std::string> WireGuardTunnel::applyRouting() {
    const RoutingChoice& r = *m_ledger.routing;
    if (fullTunnel(false)) {
        // Replies to the marked packets pass the reverse-path check only when the mark
        // counts in it.
        const auto previous = m_host.readLine(std::string("/proc/sys/") + srcValidMark);
        if (previous && *previous != "1") {
            auto index = m_ledger.record(change::sysctl(srcValidMark, *previous, "1"));
            if (!index)
                return std::unexpected(index.error());
            if (!m_host.write(std::string("/proc/sys/") + srcValidMark, "1\n")) {
                m_ledger.forget(*index);
                m_log("note: src_valid_mark could not be set; strict reverse-path "
                      "filtering may drop the tunnel's replies");
            }
        }
    }
    // Under the routes through the interface, so nothing leaves while it is gone.
    if (const auto prefixes = routedPrefixes(); !prefixes.empty())
        if (auto done =
                make(change::routes(prefixes, r.table, std::nullopt), "add the tunnel's routes");
            !done)
            return done;
    for (const bool v6 : {false, true}) {
        if (routedPrefixes(v6).empty())
            continue;
        if (fullTunnel(v6))
            if (auto done =
                    make(change::rule(v6, r.priority, change::mainTable, std::nullopt, true),
                         "add a routing rule");
                !done)
                return done;
        const auto mark = m_config.autoRoute ? std::optional(r.fwmark) : std::nullopt;
        if (auto done =
                make(change::rule(v6, r.priority + 1, r.table, mark, false), "add a routing rule");
            !done)
            return done;
    }
    return {};
}

std::expected<void, std::string> WireGuardTunnel::applyDnsRedirect() {
    DnsRedirect redirect{dnsTable, m_config.interfaceName, m_ledger.endpoints, {}, {}};
    for (const auto& server : m_config.dnsServers) {
        const bool v6 = server.find(':') != std::string::npos;
        std::string& slot = v6 ? redirect.server6 : redirect.server4;
        const auto prefixes = routedPrefixes(v6);
        if (slot.empty() &&
            std::ranges::any_of(prefixes, [&](const IpPrefix& p) { return p.contains(server); }))
            slot = server;
    }
    if (redirect.server4.empty() && redirect.server6.empty()) {
        if (!m_config.dnsServers.empty())
            m_log("DNS servers skipped: the tunnel does not reach them");
        return {};
    }
    if (m_host.run({"nft", "list", "table", "inet", dnsTable}).ok())
        return std::unexpected(std::string("the firewall table inet ") + dnsTable +
                               " already exists");
    return make(change::firewallTable(dnsTable), "redirect DNS into the tunnel",
                dnsRedirectRules(redirect));
}

std::expected<void, std::string> WireGuardTunnel::applyLink() {
    const std::string& name = m_config.interfaceName;
    if (m_host.linkExists(name))
        return std::unexpected("the network interface \"" + name + "\" already exists");
    if (auto free = socketIsOurs(); !free)
        return free;
    // The kernel's WireGuard at an index chosen here, so the ledger names the interface
    // exactly before it exists.
    const auto indexes = m_host.ifindexes();
    const int index = indexes.empty() ? 1 : *std::ranges::max_element(indexes) + 1;
    auto at = m_ledger.record(change::link(name, index, false));
    if (!at)
        return std::unexpected(at.error());
    if (m_host
            .run({"ip", "link", "add", "dev", name, "index", std::to_string(index), "type",
                  "wireguard"})
            .ok()) {
        m_ifindex = index;
    } else {
        m_ledger.forget(*at);
        if (auto created = createWithDaemon(); !created)
            return created;
    }

    const auto marks = m_config.autoRoute ? std::optional(m_ledger.routing->fwmark) : std::nullopt;
    std::vector<std::string> endpoints;
    for (const auto& e : m_ledger.endpoints)
        endpoints.push_back(e.text());
    if (auto ours = socketIsOurs(); !ours)
        return ours;
    const auto configured =
        m_host.run({"wg", "setconf", name, "/dev/stdin"}, m_config.wgConfig(endpoints, marks));
    if (!configured.ok())
        return std::unexpected("cannot configure WireGuard: " + firstLine(configured.output));
    for (const auto& address : m_config.addresses) {
        if (!carries(address.v6))
            continue;
        if (const auto added = m_host.run(
                {"ip", family(address.v6), "address", "add", address.text(), "dev", name});
            !added.ok())
            return std::unexpected("cannot add the address " + address.text() + ": " +
                                   firstLine(added.output));
    }
    if (const auto raised = m_host.run(
            {"ip", "link", "set", "dev", name, "mtu", std::to_string(m_config.mtu), "up"});
        !raised.ok())
        return std::unexpected("cannot bring the interface up: " + firstLine(raised.output));
    return {};
}

std::expected<void, std::string> WireGuardTunnel::createWithDaemon() {
    const std::string& name = m_config.interfaceName;
    if (!m_host.runner.available("wireguard-go"))
        return std::unexpected("WireGuard is not available: this kernel has no WireGuard and "
                               "wireguard-go is not installed");
    change::removeStaleSocket(m_host, name);
    // The daemon dies with the engine and takes its interface along, so the index can
    // wait until it is known.
    auto at = m_ledger.record(change::link(name, std::nullopt, true));
    if (!at)
        return std::unexpected(at.error());
    m_daemon = m_host.runner.spawn(
        {"wireguard-go", "-f", name},
        {"WG_I_PREFER_BUGGY_USERSPACE_TO_POLISHED_KMOD=1", "LOG_LEVEL=error"}, SIGTERM);
    if (m_daemon < 0)
        return std::unexpected("cannot start wireguard-go");
    for (int i = 0; i < 100; ++i) { // up to 5 s
        // Its socket appears between bind and listen: not to be taken for a dead one.
        if (m_host.linkExists(name) && change::socketListener(m_host, name, false) == m_daemon) {
            m_ifindex = m_host.ifindex(name);
            return m_ledger.update(*at, change::link(name, m_ifindex, true));
        }
        int status = 0;
        if (::waitpid(m_daemon, &status, WNOHANG) == m_daemon) {
            m_daemon = -1;
            return std::unexpected("wireguard-go could not create the interface \"" + name + "\"");
        }
        std::this_thread::sleep_for(50ms);
    }
    return std::unexpected("wireguard-go did not create the interface \"" + name + "\" in time");
}

std::expected<void, std::string> WireGuardTunnel::applyRoutes() {
    if (const auto prefixes = routedPrefixes(); !prefixes.empty())
        return make(change::routes(prefixes, m_ledger.routing->table, m_config.interfaceName),
                    "add the tunnel's routes");
    return {};
}

std::expected<void, std::string> WireGuardTunnel::socketIsOurs() const {
    // A socket between another daemon's bind and listen is not dead: it is left alone.
    const auto listener = change::socketListener(m_host, m_config.interfaceName, false);
    if (m_daemon > 0 ? listener == m_daemon : !listener)
        return {};
    return std::unexpected("another program runs a WireGuard interface named \"" +
                           m_config.interfaceName + '"');
}

std::expected<void, std::string> WireGuardTunnel::applyResolved() {
    if (m_config.dnsServers.empty() || !m_host.exists("/run/systemd/resolve") ||
        !inSystemNamespace(m_host))
        return {};
    const std::string& name = m_config.interfaceName;
    auto at = m_ledger.record(change::resolvedLink(name));
    if (!at)
        return std::unexpected(at.error());
    std::vector<std::string> argv{"resolvectl", "dns", name};
    argv.insert(argv.end(), m_config.dnsServers.begin(), m_config.dnsServers.end());
    if (const auto set = m_host.run(argv); !set.ok()) {
        // The redirect still sends every query through the tunnel.
        m_ledger.forget(*at);
        m_log("systemd-resolved was not told the tunnel's DNS servers: " + firstLine(set.output));
        return {};
    }
    if (m_config.autoRoute) // every name is looked up through the tunnel
        m_host.run({"resolvectl", "domain", name, "~."});
    return {};
}

void WireGuardTunnel::stopDaemon() {
    if (m_daemon <= 0)
        return;
    ::kill(m_daemon, SIGTERM);
    for (int i = 0; i < 40; ++i) { // up to 2 s
        int status = 0;
        const pid_t done = ::waitpid(m_daemon, &status, WNOHANG);
        if (done == m_daemon || (done < 0 && errno != EINTR)) {
            m_daemon = -1;
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
    ::kill(m_daemon, SIGKILL);
    ::waitpid(m_daemon, nullptr, 0);
    m_daemon = -1;
}

} // namespace veloxa::engine
