#include "Changes.h"

#include "platform/netext/InterfaceName.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <regex>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace veloxa::engine::change {

using json = nlohmann::json;

namespace {

constexpr std::uint32_t lowestPrecedence = 4294967295u;
// The only system setting the engine changes; a record naming another is not acted on.
const std::set<std::string, std::less<>> settings{"net/ipv4/conf/all/src_valid_mark"};

std::string family(const json& change) {
    return change.at("family").get<int>() == 6 ? "-6" : "-4";
}

bool isFirewallTableName(const std::string& name) {
    static const std::regex pattern("^[a-z][a-z0-9-]{0,31}$");
    return std::regex_match(name, pattern);
}

bool isWhole(const json& value, std::int64_t low, std::int64_t high) {
    if (!value.is_number_integer())
        return false;
    if (value.is_number_unsigned()) {
        const auto n = value.get<std::uint64_t>();
        return n <= static_cast<std::uint64_t>(high) &&
               (low <= 0 || n >= static_cast<std::uint64_t>(low));
    }
    const auto n = value.get<std::int64_t>();
    return n >= low && n <= high;
}

bool isText(const json& value) {
    return value.is_string() && value.get_ref<const std::string&>().size() <= 64;
}

} // namespace

json routes(const std::vector<IpPrefix>& destinations, std::uint32_t table,
            const std::optional<std::string>& device) {
    json out{{"kind", "routes"}, {"table", table}, {"destinations", json::array()}};
    for (const auto& d : destinations)
        out["destinations"].push_back(d.text());
    if (device) {
        out["device"] = *device;
    } else {
        out["blackhole"] = true;
        out["metric"] = lowestPrecedence;
    }
    return out;
}

json rule(bool v6, int priority, std::uint32_t table, std::optional<std::uint32_t> notMark,
          bool suppressDefault) {
    json out{{"kind", "rule"}, {"family", v6 ? 6 : 4}, {"priority", priority}, {"table", table}};
    if (notMark)
        out["not_fwmark"] = *notMark;
    if (suppressDefault)
        out["suppress_prefixlength"] = 0;
    return out;
}

json firewallTable(const std::string& name) {
    return {{"kind", "firewall"}, {"family", "inet"}, {"table", name}};
}

json link(const std::string& name, std::optional<int> ifindex, bool daemon) {
    return {{"kind", "link"},
            {"name", name},
            {"ifindex", ifindex ? json(*ifindex) : json(nullptr)},
            {"daemon", daemon}};
}

json resolvedLink(const std::string& name) {
    return {{"kind", "resolved"}, {"link", name}};
}

json sysctl(const std::string& key, const std::string& previous, const std::string& value) {
    return {{"kind", "sysctl"}, {"key", key}, {"previous", previous}, {"value", value}};
}

std::vector<std::string> command(const json& change, bool add) {
    const std::string kind = change.at("kind");
    if (kind == "firewall") {
        if (add)
            return {"nft", "-f", "-"};
        return {"nft", "delete", "table", change.at("family"), change.at("table")};
    }
    if (kind == "routes") // undoing goes on past routes already gone with their interface
        return add ? std::vector<std::string>{"ip", "-batch", "-"}
                   : std::vector<std::string>{"ip", "-force", "-batch", "-"};
    std::vector<std::string> argv{"ip", family(change), kind, add ? "add" : "del"};
    if (change.contains("not_fwmark"))
        argv.insert(argv.end(), {"not", "fwmark",
                                 std::to_string(change.at("not_fwmark").get<std::uint32_t>())});
    argv.insert(argv.end(), {"table", std::to_string(change.at("table").get<std::uint32_t>())});
    if (change.contains("suppress_prefixlength"))
        argv.insert(argv.end(), {"suppress_prefixlength", "0"});
    argv.insert(argv.end(), {"priority", std::to_string(change.at("priority").get<int>())});
    return argv;
}

std::string input(const json& change, bool add) {
    if (change.at("kind") != "routes")
        return {};
    // "ip" takes each route's family from its destination.
    std::string tail = " table " + std::to_string(change.at("table").get<std::uint32_t>());
    if (change.contains("device"))
        tail.insert(0, " dev " + change.at("device").get<std::string>());
    if (change.contains("metric"))
        tail += " metric " + std::to_string(change.at("metric").get<std::uint32_t>());
    const std::string head = add ? "route add " : "route del ";
    const std::string type = change.contains("blackhole") ? "blackhole " : "";
    std::vector<std::string> lines;
    for (const auto& d : change.at("destinations"))
        lines.push_back(head + type + d.get<std::string>() + tail + '\n');
    if (!add) // newest first
        std::ranges::reverse(lines);
    std::string out;
    for (const auto& line : lines)
        out += line;
    return out;
}

std::size_t madeBefore(const std::string& output) {
    static const std::regex failed("Command failed -:([0-9]{1,9})");
    std::smatch m;
    return std::regex_search(output, m, failed) ? std::stoul(m[1].str()) - 1 : 0;
}

std::string check(const json& change) {
    if (!change.is_object() || !change.contains("kind") || !change["kind"].is_string())
        return "a change without a kind";
    const std::string kind = change["kind"];
    // Each kind's fields: required ones first, then optional ones.
    struct Shape {
        std::vector<std::string> required, optional;
    };
    static const std::map<std::string, Shape, std::less<>> shapes{
        {"routes", {{"table", "destinations"}, {"device", "blackhole", "metric"}}},
        {"rule", {{"family", "priority", "table"}, {"not_fwmark", "suppress_prefixlength"}}},
        {"firewall", {{"family", "table"}, {}}},
        {"link", {{"name", "ifindex", "daemon"}, {}}},
        {"resolved", {{"link"}, {}}},
        {"sysctl", {{"key", "previous", "value"}, {}}},
    };
    const auto shape = shapes.find(kind);
    if (shape == shapes.end())
        return "a change of an unknown kind";
    for (const auto& key : shape->second.required)
        if (!change.contains(key))
            return "a " + kind + " change without \"" + key + "\"";
    for (const auto& [key, value] : change.items())
        if (key != "kind" &&
            std::ranges::find(shape->second.required, key) == shape->second.required.end() &&
            std::ranges::find(shape->second.optional, key) == shape->second.optional.end())
            return "a " + kind + " change with an unknown field";

    const auto bad = [&] { return "a " + kind + " change with a bad value"; };
    if (kind == "rule") {
        const json& f = change["family"];
        if (!f.is_number_integer() || (f.get<int>() != 4 && f.get<int>() != 6))
            return bad();
    }
    if ((kind == "routes" || kind == "rule") && !isWhole(change["table"], 1, lowestPrecedence))
        return bad();
    if (kind == "routes") {
        const json& destinations = change["destinations"];
        const bool blackhole = change.contains("blackhole");
        if (!destinations.is_array() || destinations.empty() ||
            destinations.size() > WireGuardConfig::maxAllowedIps ||
            !std::ranges::all_of(destinations,
                                 [](const json& d) {
                                     const auto p =
                                         isText(d) ? IpPrefix::parse(d.get<std::string>(), false)
                                                   : std::nullopt;
                                     return p && p->text() == d.get_ref<const std::string&>();
                                 }) ||
            blackhole == change.contains("device") ||
            (blackhole && !change["blackhole"].is_boolean()) ||
            (change.contains("device") &&
             (!isText(change["device"]) ||
              !isValidInterfaceName(change["device"].get<std::string>()))) ||
            (change.contains("metric") && !isWhole(change["metric"], 0, lowestPrecedence)))
            return bad();
    } else if (kind == "rule") {
        if (!isWhole(change["priority"], 1, 32765) ||
            (change.contains("not_fwmark") &&
             !isWhole(change["not_fwmark"], 1, lowestPrecedence)) ||
            (change.contains("suppress_prefixlength") && change["suppress_prefixlength"] != 0))
            return bad();
    } else if (kind == "firewall") {
        if (change["family"] != "inet" || !isText(change["table"]) ||
            !isFirewallTableName(change["table"].get<std::string>()))
            return bad();
    } else if (kind == "link") {
        if (!isText(change["name"]) || !isValidInterfaceName(change["name"].get<std::string>()) ||
            !(change["ifindex"].is_null() || isWhole(change["ifindex"], 1, 0x7fffffff)) ||
            !change["daemon"].is_boolean())
            return bad();
    } else if (kind == "resolved") {
        if (!isText(change["link"]) || !isValidInterfaceName(change["link"].get<std::string>()))
            return bad();
    } else if (kind == "sysctl") {
        for (const char* key : {"key", "previous", "value"})
            if (!isText(change[key]))
                return bad();
        if (!settings.contains(change["key"].get<std::string>()) ||
            std::ranges::any_of(change["previous"].get<std::string>(),
                                [](char c) { return c < '0' || c > '9'; }))
            return bad();
    }
    return {};
}

std::string socketPath(const std::string& interfaceName) {
    return "/var/run/wireguard/" + interfaceName + ".sock";
}

std::optional<pid_t> socketListener(const Host& host, const std::string& interfaceName,
                                    bool removeDead) {
    const std::string path = host.path(socketPath(interfaceName));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return 0; // cannot tell: as if someone else answered
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    std::optional<pid_t> listener;
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        listener = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 ? peer.pid : 0;
    else if (errno == EAGAIN)
        listener = 0;
    ::close(fd);
    struct stat st {};
    if (!listener && removeDead && ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        ::unlink(path.c_str());
    return listener;
}

void revert(const Host& host, const json& change, const Log& log) {
    const std::string kind = change.at("kind");
    if (kind == "routes" || kind == "rule" || kind == "firewall") {
        // Gone already is fine: a route through an interface goes with the interface.
        host.run(command(change, false), input(change, false));
    } else if (kind == "link") {
        const std::string name = change.at("name");
        const int now = host.ifindex(name);
        if (now > 0 && change.at("ifindex").is_number() && change.at("ifindex").get<int>() == now)
            host.run({"ip", "link", "del", "dev", name});
        else if (now > 0)
            log("left the interface \"" + name + "\" alone: it is not the one this engine made");
        if (change.at("daemon").get<bool>())
            removeStaleSocket(host, name);
    } else if (kind == "resolved") {
        const std::string name = change.at("link");
        if (host.linkExists(name))
            host.run({"resolvectl", "revert", name});
    } else if (kind == "sysctl") {
        const std::string key = "/proc/sys/" + change.at("key").get<std::string>();
        // Someone who changed the setting since has the last word.
        if (host.readLine(key) == change.at("value").get<std::string>())
            host.write(key, change.at("previous").get<std::string>() + "\n");
    }
}

} // namespace veloxa::engine::change
