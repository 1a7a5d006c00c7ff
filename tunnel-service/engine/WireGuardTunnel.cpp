#include "WireGuardTunnel.h"

#include "Command.h"
#include "platform/netext/InterfaceName.h"

#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <netdb.h>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace veloxa::engine {

namespace {

using namespace std::chrono_literals;

const std::string table = std::to_string(WireGuardTunnel::routingTable);

std::string firstLine(const std::string& text) {
    const auto end = text.find('\n');
    std::string line = text.substr(0, end);
    return line.size() > 200 ? line.substr(0, 200) : line;
}

std::string family(bool v6) {
    return v6 ? "-6" : "-4";
}

std::string socketPath(const std::string& interfaceName) {
    return "/var/run/wireguard/" + interfaceName + ".sock";
}

bool ipv6Enabled() {
    return ::access("/proc/net/if_inet6", F_OK) == 0;
}

// A socket left by a daemon that was killed answers nobody; a live one is not ours to
// remove.
void removeStaleSocket(const std::string& interfaceName) {
    const std::string path = socketPath(interfaceName);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool live =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!live)
        ::unlink(path.c_str());
}

std::expected<std::string, std::string> resolve(const WireGuardPeer& peer) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(peer.host.c_str(), nullptr, &hints, &found);
        error != 0 || !found)
        return std::unexpected("cannot resolve the WireGuard server \"" + peer.host +
                               "\": " + ::gai_strerror(error));
    // An IPv4 address first: it works on every network that reaches the server at all.
    const addrinfo* chosen = found;
    for (const addrinfo* a = found; a; a = a->ai_next)
        if (a->ai_family == AF_INET) {
            chosen = a;
            break;
        }
    char text[INET6_ADDRSTRLEN] = {};
    const bool v6 = chosen->ai_family == AF_INET6;
    const void* raw = v6 ? static_cast<const void*>(
                               &reinterpret_cast<const sockaddr_in6*>(chosen->ai_addr)->sin6_addr)
                         : static_cast<const void*>(
                               &reinterpret_cast<const sockaddr_in*>(chosen->ai_addr)->sin_addr);
    ::inet_ntop(chosen->ai_family, raw, text, sizeof text);
    ::freeaddrinfo(found);
    const std::string port = std::to_string(peer.port);
    return v6 ? "[" + std::string(text) + "]:" + port : std::string(text) + ":" + port;
}

std::expected<void, std::string> ip(const std::vector<std::string>& arguments,
                                    const std::string& what) {
    std::vector<std::string> argv{"ip"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto result = Command::run(argv);
    if (!result.ok())
        return std::unexpected("cannot " + what + ": " + firstLine(result.output));
    return {};
}

std::expected<void, std::string> ensureRule(bool v6, int priority,
                                            const std::vector<std::string>& selector,
                                            const std::string& marker) {
    const auto shown =
        Command::run({"ip", family(v6), "rule", "show", "priority", std::to_string(priority)});
    if (shown.ok() && shown.output.find(marker) != std::string::npos)
        return {}; // left by an engine that crashed: the tunnel keeps its routing
    std::vector<std::string> add{family(v6), "rule", "add"};
    add.insert(add.end(), selector.begin(), selector.end());
    add.insert(add.end(), {"priority", std::to_string(priority)});
    return ip(add, "add a routing rule");
}

std::vector<std::string> tunnelSelector() {
    return {"not", "fwmark", table, "table", table};
}

std::vector<std::string> suppressSelector() {
    return {"table", "main", "suppress_prefixlength", "0"};
}

} // namespace

WireGuardTunnel::WireGuardTunnel(WireGuardConfig config, Log log)
    : m_config(std::move(config)), m_log(std::move(log)) {}

WireGuardTunnel::~WireGuardTunnel() {
    stopDaemon();
}

bool WireGuardTunnel::interfaceExists(const std::string& name) {
    return veloxa::isValidInterfaceName(name) &&
           ::access(("/sys/class/net/" + name).c_str(), F_OK) == 0;
}

std::expected<void, std::string> WireGuardTunnel::createInterface() {
    const std::string& name = m_config.interfaceName;
    if (Command::run({"ip", "link", "add", "dev", name, "type", "wireguard"}).ok()) {
        m_created = true;
        return {};
    }
    if (!Command::available("wireguard-go"))
        return std::unexpected("WireGuard is not available: this kernel has no WireGuard and "
                               "wireguard-go is not installed");
    removeStaleSocket(name);
    m_daemon = Command::spawn({"wireguard-go", "-f", name},
                              {"WG_I_PREFER_BUGGY_USERSPACE_TO_POLISHED_KMOD=1", "LOG_LEVEL=error"},
                              SIGTERM);
    if (m_daemon < 0)
        return std::unexpected("cannot start wireguard-go");
    for (int i = 0; i < 100; ++i) { // up to 5 s
        if (interfaceExists(name) && ::access(socketPath(name).c_str(), F_OK) == 0) {
            m_created = true;
            return {};
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

std::expected<void, std::string> WireGuardTunnel::route() {
    const std::string& dev = m_config.interfaceName;
    std::set<bool> defaultFamilies; // false: IPv4, true: IPv6
    std::vector<IpPrefix> specific;
    for (const auto& peer : m_config.peers)
        for (const auto& prefix : peer.allowedIps) {
            if (prefix.isDefault())
                defaultFamilies.insert(prefix.v6);
            else if (std::find(specific.begin(), specific.end(), prefix) == specific.end())
                specific.push_back(prefix);
        }
    for (const auto& prefix : specific) {
        if (prefix.v6 && !ipv6Enabled())
            continue;
        if (auto done = ip({family(prefix.v6), "route", "replace", prefix.text(), "dev", dev},
                           "add a route");
            !done)
            return done;
    }
    if (!m_config.autoRoute) {
        if (!defaultFamilies.empty())
            m_log("auto_route is off: the default route stays as it is");
        return {};
    }
    for (const bool v6 : defaultFamilies) {
        if (v6 && !ipv6Enabled()) {
            m_log("IPv6 is disabled on this machine; only IPv4 goes through the tunnel");
            continue;
        }
        const std::string f = family(v6);
        for (const auto& step :
             {std::vector<std::string>{f, "route", "replace", "default", "dev", dev, "table",
                                       table},
              std::vector<std::string>{f, "route", "replace", "blackhole", "default", "table",
                                       table, "metric", "4294967295"}})
            if (auto done = ip(step, "add the tunnel's route"); !done)
                return done;
        if (auto done = ensureRule(v6, tunnelPriority, tunnelSelector(), "lookup " + table); !done)
            return done;
        if (auto done =
                ensureRule(v6, suppressPriority, suppressSelector(), "suppress_prefixlength 0");
            !done)
            return done;
    }
    if (defaultFamilies.contains(false)) {
        // Replies to the marked packets pass the reverse-path check only when the mark
        // counts in it.
        std::ofstream("/proc/sys/net/ipv4/conf/all/src_valid_mark") << "1\n";
    }
    return {};
}

void WireGuardTunnel::applyDns() {
    if (m_config.dnsServers.empty())
        return;
    if (!Command::available("resolvectl") || ::access("/run/systemd/resolve", F_OK) != 0) {
        m_log("DNS servers skipped: systemd-resolved is not running");
        return;
    }
    // resolved knows interfaces by index in its own network namespace; from another one
    // the same index is some other interface of the host.
    struct stat mine {
    }, system{};
    if (::stat("/proc/self/ns/net", &mine) != 0 || ::stat("/proc/1/ns/net", &system) != 0 ||
        mine.st_ino != system.st_ino || mine.st_dev != system.st_dev) {
        m_log("DNS servers skipped: not in the system's network namespace");
        return;
    }
    std::vector<std::string> argv{"resolvectl", "dns", m_config.interfaceName};
    argv.insert(argv.end(), m_config.dnsServers.begin(), m_config.dnsServers.end());
    const auto set = Command::run(argv);
    if (!set.ok()) {
        m_log("DNS servers skipped: " + firstLine(set.output));
        return;
    }
    m_dns = true;
    if (m_config.autoRoute) // every name is looked up through the tunnel
        Command::run({"resolvectl", "domain", m_config.interfaceName, "~."});
}

std::expected<void, std::string> WireGuardTunnel::up() {
    const std::string& name = m_config.interfaceName;
    if (interfaceExists(name))
        return std::unexpected("the network interface \"" + name + "\" already exists");
    std::vector<std::string> endpoints;
    for (const auto& peer : m_config.peers) {
        auto endpoint = resolve(peer);
        if (!endpoint)
            return std::unexpected(endpoint.error());
        endpoints.push_back(*endpoint);
    }
    auto fail = [this](std::string why) -> std::expected<void, std::string> {
        down(false);
        return std::unexpected(std::move(why));
    };
    if (auto created = createInterface(); !created)
        return fail(created.error());
    const bool marks = m_config.autoRoute;
    const auto configured = Command::run(
        {"wg", "setconf", name, "/dev/stdin"},
        m_config.wgConfig(endpoints, marks ? std::optional(routingTable) : std::nullopt));
    if (!configured.ok())
        return fail("cannot configure WireGuard: " + firstLine(configured.output));
    for (const auto& address : m_config.addresses) {
        if (address.v6 && !ipv6Enabled())
            continue;
        if (auto done = ip({family(address.v6), "address", "add", address.text(), "dev", name},
                           "add the address " + address.text());
            !done)
            return fail(done.error());
    }
    if (auto done = ip({"link", "set", "dev", name, "mtu", std::to_string(m_config.mtu), "up"},
                       "bring the interface up");
        !done)
        return fail(done.error());
    if (auto done = route(); !done)
        return fail(done.error());
    applyDns();
    return {};
}

void WireGuardTunnel::removeRules() {
    for (const bool v6 : {false, true}) {
        if (v6 && !ipv6Enabled())
            continue;
        for (const auto& [priority, selector] : {std::pair{tunnelPriority, tunnelSelector()},
                                                 std::pair{suppressPriority, suppressSelector()}}) {
            std::vector<std::string> del{"ip", family(v6), "rule", "del"};
            del.insert(del.end(), selector.begin(), selector.end());
            del.insert(del.end(), {"priority", std::to_string(priority)});
            for (int i = 0; i < 8 && Command::run(del).ok(); ++i) {
            }
        }
        Command::run({"ip", family(v6), "route", "flush", "table", table});
    }
}

void WireGuardTunnel::stopDaemon() {
    if (m_daemon <= 0)
        return;
    ::kill(m_daemon, SIGTERM);
    for (int i = 0; i < 40; ++i) { // up to 2 s
        int status = 0;
        if (::waitpid(m_daemon, &status, WNOHANG) == m_daemon) {
            m_daemon = -1;
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    if (m_daemon > 0) {
        ::kill(m_daemon, SIGKILL);
        ::waitpid(m_daemon, nullptr, 0);
        m_daemon = -1;
    }
    removeStaleSocket(m_config.interfaceName);
}

void WireGuardTunnel::down(bool keepRoutes) {
    if (m_dns) {
        Command::run({"resolvectl", "revert", m_config.interfaceName});
        m_dns = false;
    }
    if (!keepRoutes)
        removeRules();
    if (m_created && interfaceExists(m_config.interfaceName))
        Command::run({"ip", "link", "del", "dev", m_config.interfaceName});
    m_created = false;
    stopDaemon();
}

void WireGuardTunnel::cleanUp(const std::string& interfaceName, bool keepRoutes, const Log& log) {
    if (!keepRoutes)
        removeRules();
    if (interfaceName.empty() || !interfaceExists(interfaceName))
        return;
    const auto shown = Command::run({"ip", "-j", "-d", "link", "show", "dev", interfaceName});
    const auto links = nlohmann::json::parse(shown.output, nullptr, false);
    std::string kind;
    if (links.is_array() && !links.empty() && links[0].is_object()) {
        const auto info = links[0].value("linkinfo", nlohmann::json::object());
        if (info.is_object() && info.contains("info_kind") && info["info_kind"].is_string())
            kind = info["info_kind"].get<std::string>();
    }
    if (kind != "wireguard" && kind != "tun") {
        log("left \"" + interfaceName + "\" alone: it is not a tunnel interface");
        return;
    }
    Command::run({"ip", "link", "del", "dev", interfaceName});
    removeStaleSocket(interfaceName);
    log("removed the interface \"" + interfaceName + "\" left by an earlier run");
}

} // namespace veloxa::engine
