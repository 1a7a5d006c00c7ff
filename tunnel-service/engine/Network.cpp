#include "Network.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace veloxa::engine {

using json = nlohmann::json;

namespace {

// A number as "ip -N -j" prints it ("30309", "0x7666", "0x10/0xff"), or nothing.
std::optional<std::uint64_t> number(const json& value) {
    if (value.is_number_unsigned())
        return value.get<std::uint64_t>();
    if (!value.is_string())
        return std::nullopt;
    std::string_view text = value.get_ref<const std::string&>();
    text = text.substr(0, text.find('/'));
    int base = 10;
    if (text.starts_with("0x")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return n;
}

std::string join(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

std::string set(const char* name, const char* type, const std::vector<std::string>& elements) {
    std::string out =
        "  set " + std::string(name) + " { type " + type + "; flags interval; " + "auto-merge; ";
    if (!elements.empty())
        out += "elements = { " + join(elements) + " } ";
    return out + "}\n";
}

std::string endpointMatch(const Endpoint& e) {
    return std::string(e.v6() ? "ip6" : "ip") + " daddr " + e.address + " udp dport " +
           std::to_string(e.port);
}

std::string quoted(const std::string& name) {
    return '"' + name + '"';
}

} // namespace

std::expected<RoutingChoice, std::string> chooseRouting(const std::vector<json>& rules,
                                                        const std::vector<json>& routes,
                                                        const SearchRange& range) {
    std::set<std::uint64_t> tables, marks, priorities;
    for (const auto& rule : rules) {
        if (!rule.is_object())
            continue;
        if (auto n = number(rule.value("table", json())))
            tables.insert(*n);
        if (auto n = number(rule.value("fwmark", json())))
            marks.insert(*n);
        if (auto n = number(rule.value("priority", json())))
            priorities.insert(*n);
    }
    for (const auto& route : routes)
        if (route.is_object())
            tables.insert(number(route.value("table", json())).value_or(change::mainTable));

    RoutingChoice choice;
    for (std::uint32_t t = range.firstTable; t <= range.lastTable && !choice.table; ++t)
        if (!tables.contains(t) && !marks.contains(t))
            choice.table = choice.fwmark = t;
    for (int p = range.firstPriority; p < range.lastPriority && !choice.priority; ++p)
        if (!priorities.contains(std::uint64_t(p)) && !priorities.contains(std::uint64_t(p) + 1))
            choice.priority = p;
    if (!choice.table)
        return std::unexpected("no free routing table between " + std::to_string(range.firstTable) +
                               " and " + std::to_string(range.lastTable));
    if (!choice.priority)
        return std::unexpected("no two free routing rule priorities between " +
                               std::to_string(range.firstPriority) + " and " +
                               std::to_string(range.lastPriority));
    return choice;
}

std::vector<IpPrefix> onLinkPrefixes(const json& mainRoutes, const std::string& tunnel) {
    std::vector<IpPrefix> out;
    if (!mainRoutes.is_array())
        return out;
    for (const auto& route : mainRoutes) {
        if (!route.is_object() || route.contains("gateway") || route.contains("nexthops") ||
            route.contains("via") || route.value("type", "unicast") != "unicast")
            continue;
        const std::string device = route.value("dev", "");
        const std::string destination = route.value("dst", "");
        if (device.empty() || device == tunnel || device == "lo" || destination == "default")
            continue;
        auto prefix = IpPrefix::parse(destination, true);
        if (prefix && !prefix->isDefault() && std::ranges::find(out, *prefix) == out.end())
            out.push_back(*prefix);
    }
    return out;
}

std::expected<Endpoint, std::string> resolveEndpoint(const std::string& host, std::uint16_t port,
                                                     const Resolver& resolve) {
    std::vector<std::string> found{host};
    if (!IpPrefix::isAddress(host)) {
        auto addresses = resolve(host);
        if (!addresses)
            return std::unexpected("cannot resolve the WireGuard server " + inQuotes(host) + ": " +
                                   addresses.error());
        found = std::move(*addresses);
    }
    // An IPv4 address first: it works on every network that reaches the server at all.
    std::optional<IpPrefix> chosen;
    for (const auto& text : found) {
        auto address = IpPrefix::parse(text, true);
        if (!address || text.find('/') != std::string::npos)
            continue;
        if (!chosen || (chosen->v6 && !address->v6))
            chosen = address;
    }
    if (!chosen)
        return std::unexpected("cannot resolve the WireGuard server " + inQuotes(host) +
                               ": no address");
    return Endpoint{host, port, chosen->address};
}

std::string guardRules(const GuardSettings& s) {
    std::vector<std::string> local4{"224.0.0.0/24", "255.255.255.255/32"};
    std::vector<std::string> local6{"fe80::/10", "ff02::/16"};
    for (const auto& prefix : s.localNetworks)
        (prefix.v6 ? local6 : local4).push_back(prefix.text());
    const std::string name = quoted(s.interfaceName);
    std::string allowed = "    oifname \"lo\" accept\n    oifname " + name + " accept\n";
    for (const auto& e : s.endpoints)
        allowed +=
            "    meta mark " + std::to_string(s.fwmark) + ' ' + endpointMatch(e) + " accept\n";
    const std::string local = "    ip daddr @local4 accept\n    ip6 daddr @local6 accept\n";
    const std::string refuse = "    meta l4proto tcp reject with tcp reset\n"
                               "    reject with icmpx admin-prohibited\n";
    const std::string refuseDns =
        "    tcp dport 53 reject with tcp reset\n    udp dport 53 reject\n";

    std::string out = "table inet " + s.table + " {\n";
    out += set("local4", "ipv4_addr", local4);
    out += set("local6", "ipv6_addr", local6);
    // Refused here, a program learns at once. A packet whose destination was rewritten
    // (the DNS redirect) is still listed under the interface it was first routed to, so
    // it is judged after routing instead.
    out += "  chain output {\n    type filter hook output priority 0; policy accept;\n";
    out += allowed + "    ct status dnat accept\n" + refuseDns + local + refuse + "  }\n";
    out += "  chain forward {\n    type filter hook forward priority 0; policy accept;\n";
    out += "    iifname " + name + " accept\n" + allowed + refuseDns + local + refuse + "  }\n";
    // Where every packet leaves, on the interface it really leaves by.
    out += "  chain postrouting {\n    type filter hook postrouting priority 0; policy accept;\n";
    out += allowed + "    meta l4proto { tcp, udp } th dport 53 drop\n" + local + "    drop\n  }\n";
    return out + "}\n";
}

std::string dnsRedirectRules(const DnsRedirect& s) {
    const std::string name = quoted(s.interfaceName);
    std::string out = "table inet " + s.table + " {\n";
    out += "  chain output {\n    type nat hook output priority -100; policy accept;\n";
    out += "    oifname { \"lo\", " + name + " } return\n";
    for (const auto& e : s.endpoints)
        out += "    " + endpointMatch(e) + " return\n";
    if (!s.server4.empty())
        out += "    meta nfproto ipv4 meta l4proto { tcp, udp } th dport 53 dnat ip to " +
               s.server4 + "\n";
    if (!s.server6.empty())
        out += "    meta nfproto ipv6 meta l4proto { tcp, udp } th dport 53 dnat ip6 to " +
               s.server6 + "\n";
    out += "  }\n";
    out += "  chain postrouting {\n    type nat hook postrouting priority 100; policy accept;\n";
    out += "    oifname " + name +
           " ct status dnat meta l4proto { tcp, udp } th dport 53 "
           "masquerade\n  }\n}\n";
    return out;
}

} // namespace veloxa::engine
