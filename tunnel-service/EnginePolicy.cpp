#include "EnginePolicy.h"

#include "platform/netext/InterfaceName.h"
#include "json/JsonDepth.h"

#include <algorithm>
#include <set>
#include <span>
#include <vector>

namespace veloxa::tunnel {

using json = nlohmann::json;

namespace {

// What a value may be.
enum class Value {
    text,       // a string
    flag,       // true or false
    count,      // a whole number, not negative
    port,       // 1 to 65535
    texts,      // a string or a list of strings
    prefixes,   // WireGuard's allowed IPs: texts, counted against maxAllowedIps in all
    counts,     // a whole number or a list of them
    scalars,    // a string or a number, or a list of them
    duration,   // "30s", or a number of seconds
    mark,       // a number or a hexadecimal string
    interface,  // a network interface name
    httpPath,   // an HTTP path, starting with '/'
    dnsAddress, // a DNS server's address: a host, or a URL of a plain DNS protocol to one
    bytes,      // a few bytes: a list of numbers up to 255, or base64
    headers,    // HTTP header names, each to a string or a list of strings
    choice,     // one of `choices`
    object,     // an object of `shape`
    objects,    // a list of objects of `shape`, or one
};

struct Shape;
struct Key {
    std::string_view name;
    Value value;
    const Shape* shape = nullptr;
    std::span<const std::string_view> choices = {};
};
// The keys one "type" of an object adds to its shape's own; the type "" is an object that
// has no "type" key.
struct Variant {
    std::string_view type;
    std::span<const Key> keys = {};
    std::span<const Key> shared = {}; // keys this type shares with other types
};
struct Shape {
    std::span<const Key> keys;
    std::span<const Variant> variants = {}; // empty: the object has no "type"
};

constexpr Key text(std::string_view name) {
    return {name, Value::text};
}
constexpr Key flag(std::string_view name) {
    return {name, Value::flag};
}
constexpr Key count(std::string_view name) {
    return {name, Value::count};
}
constexpr Key port(std::string_view name) {
    return {name, Value::port};
}
constexpr Key texts(std::string_view name) {
    return {name, Value::texts};
}
constexpr Key prefixes(std::string_view name) {
    return {name, Value::prefixes};
}
constexpr Key duration(std::string_view name) {
    return {name, Value::duration};
}
constexpr Key counts(std::string_view name) {
    return {name, Value::counts};
}
constexpr Key scalars(std::string_view name) {
    return {name, Value::scalars};
}
constexpr Key mark(std::string_view name) {
    return {name, Value::mark};
}
constexpr Key interfaceName(std::string_view name) {
    return {name, Value::interface};
}
constexpr Key httpPath(std::string_view name) {
    return {name, Value::httpPath};
}
constexpr Key dnsAddress(std::string_view name) {
    return {name, Value::dnsAddress};
}
constexpr Key bytes(std::string_view name) {
    return {name, Value::bytes};
}
constexpr Key headers(std::string_view name) {
    return {name, Value::headers};
}
constexpr Key oneOf(std::string_view name, std::span<const std::string_view> choices) {
    return {name, Value::choice, nullptr, choices};
}
constexpr Key object(std::string_view name, const Shape& shape) {
    return {name, Value::object, &shape};
}
constexpr Key objects(std::string_view name, const Shape& shape) {
    return {name, Value::objects, &shape};
}

// The accepted document, one table per kind of object. Anything not listed here is refused,
// so what names files (log output, certificate and rule-set paths, cache files), listens
// (listen ports, other inbounds, controllers), fetches (URLs, remote rule sets, downloads)
// or writes is out without being named.

constexpr std::string_view logLevels[] = {"trace", "debug", "info", "warn",
                                          "error", "fatal", "panic"};
constexpr Key logKeys[] = {flag("disabled"), oneOf("level", logLevels), flag("timestamp")};
constexpr Shape logShape{logKeys};

// TLS as a client, keys inline only.
constexpr Key utlsKeys[] = {flag("enabled"), text("fingerprint")};
constexpr Shape utls{utlsKeys};
constexpr Key realityKeys[] = {flag("enabled"), text("public_key"), text("short_id")};
constexpr Shape reality{realityKeys};
constexpr Key tlsKeys[] = {flag("enabled"),           flag("disable_sni"),    text("server_name"),
                           flag("insecure"),          texts("alpn"),          text("min_version"),
                           text("max_version"),       texts("cipher_suites"), object("utls", utls),
                           object("reality", reality)};
constexpr Shape tls{tlsKeys};

constexpr std::string_view transportTypes[] = {"http", "ws", "quic", "grpc", "httpupgrade"};
constexpr Key transportKeys[] = {oneOf("type", transportTypes),
                                 texts("host"),
                                 httpPath("path"),
                                 text("method"),
                                 headers("headers"),
                                 text("service_name"),
                                 duration("idle_timeout"),
                                 duration("ping_timeout"),
                                 flag("permit_without_stream"),
                                 count("max_early_data"),
                                 text("early_data_header_name")};
constexpr Shape transport{transportKeys};

constexpr Key brutalKeys[] = {flag("enabled"), count("up_mbps"), count("down_mbps")};
constexpr Shape brutal{brutalKeys};
constexpr std::string_view multiplexProtocols[] = {"smux", "yamux", "h2mux"};
constexpr Key multiplexKeys[] = {flag("enabled"),          oneOf("protocol", multiplexProtocols),
                                 count("max_connections"), count("min_streams"),
                                 count("max_streams"),     flag("padding"),
                                 object("brutal", brutal)};
constexpr Shape multiplex{multiplexKeys};

// How an engine dials out, without binding or marking anything of the machine's.
constexpr Key dialKeys[] = {text("detour"),          duration("connect_timeout"),
                            flag("tcp_fast_open"),   flag("tcp_multi_path"),
                            flag("udp_fragment"),    text("domain_strategy"),
                            text("domain_resolver"), duration("fallback_delay")};
constexpr Key typeAndTag[] = {text("type"), text("tag")};

constexpr Key selectorKeys[] = {texts("outbounds"), text("default"),
                                flag("interrupt_exist_connections")};
// No "url": the probes would be fetched by the engine, as root.
constexpr Key urltestKeys[] = {texts("outbounds"), duration("interval"), count("tolerance"),
                               duration("idle_timeout"), flag("interrupt_exist_connections")};
constexpr Key vlessKeys[] = {text("server"),
                             port("server_port"),
                             text("uuid"),
                             text("flow"),
                             text("network"),
                             text("packet_encoding"),
                             object("tls", tls),
                             object("transport", transport),
                             object("multiplex", multiplex)};
constexpr Key vmessKeys[] = {text("server"),
                             port("server_port"),
                             text("uuid"),
                             text("security"),
                             count("alter_id"),
                             flag("global_padding"),
                             flag("authenticated_length"),
                             text("network"),
                             text("packet_encoding"),
                             object("tls", tls),
                             object("transport", transport),
                             object("multiplex", multiplex)};
constexpr Key trojanKeys[] = {text("server"),
                              port("server_port"),
                              text("password"),
                              text("network"),
                              object("tls", tls),
                              object("transport", transport),
                              object("multiplex", multiplex)};
constexpr Key shadowsocksKeys[] = {text("server"),
                                   port("server_port"),
                                   text("method"),
                                   text("password"),
                                   text("network"),
                                   flag("udp_over_tcp"),
                                   object("multiplex", multiplex)};
constexpr Key obfsKeys[] = {text("type"), text("password")};
constexpr Shape obfs{obfsKeys};
constexpr Key hysteria2Keys[] = {
    text("server"),   port("server_port"), texts("server_ports"), duration("hop_interval"),
    count("up_mbps"), count("down_mbps"),  object("obfs", obfs),  text("password"),
    text("network"),  object("tls", tls)};
constexpr Key tuicKeys[] = {
    text("server"),          port("server_port"),        text("uuid"),
    text("password"),        text("congestion_control"), text("udp_relay_mode"),
    flag("udp_over_stream"), flag("zero_rtt_handshake"), duration("heartbeat"),
    text("network"),         object("tls", tls)};
constexpr Key wireguardOutboundPeerKeys[] = {text("server"),          port("server_port"),
                                             text("public_key"),      text("pre_shared_key"),
                                             prefixes("allowed_ips"), bytes("reserved")};
constexpr Shape wireguardOutboundPeer{wireguardOutboundPeerKeys};
constexpr Key wireguardOutboundKeys[] = {text("server"),
                                         port("server_port"),
                                         flag("system_interface"),
                                         flag("gso"),
                                         interfaceName("interface_name"),
                                         texts("local_address"),
                                         text("private_key"),
                                         text("peer_public_key"),
                                         text("pre_shared_key"),
                                         bytes("reserved"),
                                         count("mtu"),
                                         count("workers"),
                                         objects("peers", wireguardOutboundPeer)};
constexpr Variant outboundTypes[] = {
    {"direct", {}, dialKeys},
    {"block"},
    {"dns"},
    {"selector", selectorKeys},
    {"urltest", urltestKeys},
    {"vless", vlessKeys, dialKeys},
    {"vmess", vmessKeys, dialKeys},
    {"trojan", trojanKeys, dialKeys},
    {"shadowsocks", shadowsocksKeys, dialKeys},
    {"hysteria2", hysteria2Keys, dialKeys},
    {"tuic", tuicKeys, dialKeys},
    {"wireguard", wireguardOutboundKeys, dialKeys},
};
constexpr Shape outbound{typeAndTag, outboundTypes};

constexpr Key wireguardPeerKeys[] = {
    text("address"),         port("port"),
    text("public_key"),      text("pre_shared_key"),
    prefixes("allowed_ips"), count("persistent_keepalive_interval"),
    bytes("reserved")};
constexpr Shape wireguardPeer{wireguardPeerKeys};
// No "listen_port": a WireGuard endpoint that listens would serve the network as root.
constexpr Key wireguardEndpointKeys[] = {
    flag("system"),          interfaceName("name"), count("mtu"),
    texts("address"),        text("private_key"),   objects("peers", wireguardPeer),
    duration("udp_timeout"), count("workers")};
constexpr Variant endpointTypes[] = {{"wireguard", wireguardEndpointKeys, dialKeys}};
constexpr Shape endpoint{typeAndTag, endpointTypes};

constexpr std::string_view stacks[] = {"system", "gvisor", "mixed"};
constexpr Key tunKeys[] = {text("interface_name"), // checked on its own below
                           texts("address"),
                           texts("inet4_address"),
                           texts("inet6_address"),
                           count("mtu"),
                           flag("auto_route"),
                           flag("strict_route"),
                           oneOf("stack", stacks),
                           flag("sniff"),
                           flag("sniff_override_destination"),
                           duration("sniff_timeout"),
                           text("domain_strategy"),
                           flag("endpoint_independent_nat"),
                           duration("udp_timeout"),
                           flag("gso"),
                           texts("route_address"),
                           texts("route_exclude_address"),
                           texts("inet4_route_address"),
                           texts("inet6_route_address"),
                           texts("inet4_route_exclude_address"),
                           texts("inet6_route_exclude_address")};
constexpr Variant inboundTypes[] = {{"tun", tunKeys}};
constexpr Shape inbound{typeAndTag, inboundTypes};

constexpr std::string_view strategies[] = {"prefer_ipv4", "prefer_ipv6", "ipv4_only", "ipv6_only"};
// DNS servers: the older form gives the server as "address", the newer one by "type".
constexpr Key addressServerKeys[] = {
    dnsAddress("address"),         text("address_resolver"), oneOf("address_strategy", strategies),
    oneOf("strategy", strategies), text("detour"),           text("client_subnet")};
constexpr Key hostServerKeys[] = {text("server"), port("server_port")};
constexpr Key tlsServerKeys[] = {text("server"), port("server_port"), object("tls", tls)};
constexpr Key httpsServerKeys[] = {text("server"), port("server_port"), httpPath("path"),
                                   headers("headers"), object("tls", tls)};
constexpr Variant dnsServerTypes[] = {
    {"", addressServerKeys},
    {"local", {}, dialKeys},
    {"udp", hostServerKeys, dialKeys},
    {"tcp", hostServerKeys, dialKeys},
    {"tls", tlsServerKeys, dialKeys},
    {"quic", tlsServerKeys, dialKeys},
    {"https", httpsServerKeys, dialKeys},
    {"h3", httpsServerKeys, dialKeys},
};
constexpr Shape dnsServer{typeAndTag, dnsServerTypes};

// What a rule compares; nothing a rule could load.
constexpr Key matchers[] = {
    texts("inbound"), count("ip_version"),    texts("network"),        texts("protocol"),
    texts("domain"),  texts("domain_suffix"), texts("domain_keyword"), texts("domain_regex"),
    texts("ip_cidr"), flag("ip_is_private"),  texts("source_ip_cidr"), flag("source_ip_is_private"),
    counts("port"),   texts("port_range"),    counts("source_port"),   texts("source_port_range"),
    flag("invert")};
constexpr std::string_view dnsActions[] = {"route", "reject"};
constexpr Key dnsRuleKeys[] = {
    scalars("query_type"), texts("outbound"),    text("server"),       oneOf("action", dnsActions),
    flag("disable_cache"), count("rewrite_ttl"), text("client_subnet")};
constexpr Variant dnsRuleForm[] = {{"", dnsRuleKeys, matchers}};
constexpr Shape dnsRule{{}, dnsRuleForm};
constexpr Key dnsKeys[] = {
    objects("servers", dnsServer), objects("rules", dnsRule), text("final"),
    oneOf("strategy", strategies), flag("disable_cache"),     flag("disable_expire"),
    flag("independent_cache"),     flag("reverse_mapping"),   text("client_subnet")};
constexpr Shape dnsShape{dnsKeys};

constexpr std::string_view routeActions[] = {"route", "reject", "hijack-dns", "sniff", "resolve"};
constexpr std::string_view rejectMethods[] = {"default", "drop"};
constexpr Key routeRuleKeys[] = {text("outbound"),
                                 oneOf("action", routeActions),
                                 oneOf("method", rejectMethods),
                                 flag("no_drop"),
                                 texts("sniffer"),
                                 duration("timeout"),
                                 oneOf("strategy", strategies),
                                 text("server")};
constexpr Variant routeRuleForm[] = {{"", routeRuleKeys, matchers}};
constexpr Shape routeRule{{}, routeRuleForm};
constexpr Key routeKeys[] = {objects("rules", routeRule),   text("final"),
                             flag("auto_detect_interface"), interfaceName("default_interface"),
                             mark("default_mark"),          text("default_domain_resolver")};
constexpr Shape routeShape{routeKeys};

constexpr Key documentKeys[] = {object("log", logShape),        object("dns", dnsShape),
                                objects("inbounds", inbound),   objects("endpoints", endpoint),
                                objects("outbounds", outbound), object("route", routeShape)};
constexpr Shape document{documentKeys};

// Refusals name where in the document they are, as the user can find it.
QString shown(const std::string& path) {
    QString text = QString::fromStdString(path).left(80);
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return text;
}
std::unexpected<QString> notAllowed(const std::string& path) {
    return std::unexpected(
        QStringLiteral("The VPN configuration's tunnel settings may not use \"%1\"")
            .arg(shown(path)));
}
std::unexpected<QString> unusable(const std::string& path) {
    return std::unexpected(
        QStringLiteral("The VPN configuration's tunnel settings have an unusable value at \"%1\"")
            .arg(shown(path)));
}

bool isCount(const json& v) {
    return v.is_number_unsigned();
}
bool isListOf(const json& v, bool (*item)(const json&)) {
    return item(v) || (v.is_array() && std::all_of(v.begin(), v.end(), item));
}
bool plainText(std::string_view s, std::string_view extra) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [&](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || extra.find(c) != std::string_view::npos;
    });
}

// A DNS server as an address or host, maybe with a port, or a URL of a plain DNS protocol
// (the DNS-over-HTTPS ones with a path); never one that reaches anything but a server.
bool isDnsAddress(std::string_view address) {
    if (address == "local")
        return true;
    if (address.starts_with("rcode://"))
        return plainText(address.substr(8), "_");
    const auto scheme = address.find("://");
    if (scheme == std::string_view::npos)
        return plainText(address, ":[]");
    const std::string_view name = address.substr(0, scheme);
    std::string_view rest = address.substr(scheme + 3);
    const bool web = name == "https" || name == "h3";
    if (!web && name != "udp" && name != "tcp" && name != "tls" && name != "quic")
        return false;
    if (const auto slash = rest.find('/'); slash != std::string_view::npos) {
        if (!web || !plainText(rest.substr(slash + 1), "/_~"))
            return false;
        rest = rest.substr(0, slash);
    }
    return plainText(rest, ":[]");
}

bool fits(const Key& key, const json& v) {
    switch (key.value) {
    case Value::text:
        return v.is_string();
    case Value::flag:
        return v.is_boolean();
    case Value::count:
        return isCount(v);
    case Value::port:
        return isCount(v) && v.get<std::uint64_t>() >= 1 && v.get<std::uint64_t>() <= 65535;
    case Value::texts:
    case Value::prefixes:
        return isListOf(v, [](const json& s) { return s.is_string(); });
    case Value::counts:
        return isListOf(v, isCount);
    case Value::scalars:
        return isListOf(v, [](const json& s) { return s.is_string() || isCount(s); });
    case Value::duration:
    case Value::mark:
        return v.is_string() || isCount(v);
    case Value::interface:
        return v.is_string() && isValidInterfaceName(v.get_ref<const std::string&>());
    case Value::httpPath:
        return v.is_string() && v.get_ref<const std::string&>().starts_with('/') &&
               std::none_of(v.get_ref<const std::string&>().begin(),
                            v.get_ref<const std::string&>().end(),
                            [](char c) { return static_cast<unsigned char>(c) <= ' '; });
    case Value::dnsAddress:
        return v.is_string() && isDnsAddress(v.get_ref<const std::string&>());
    case Value::bytes:
        return (v.is_string() && plainText(v.get_ref<const std::string&>(), "+/=")) ||
               (v.is_array() && std::all_of(v.begin(), v.end(), [](const json& b) {
                    return isCount(b) && b.get<std::uint64_t>() <= 255;
                }));
    case Value::headers:
        return v.is_object() && std::all_of(v.begin(), v.end(), [](const json& h) {
                   return isListOf(h, [](const json& s) { return s.is_string(); });
               });
    case Value::choice:
        return v.is_string() &&
               std::ranges::find(key.choices, v.get_ref<const std::string&>()) != key.choices.end();
    case Value::object:
    case Value::objects:
        return true; // walked into
    }
    return false;
}

// What the whole document adds up to.
struct Totals {
    std::size_t prefixes = 0;
};

std::expected<void, QString> walk(const json& value, const Shape& shape, const std::string& where,
                                  Totals& totals);

std::expected<void, QString> walkValue(const Key& key, const json& value, const std::string& where,
                                       Totals& totals) {
    if (key.value == Value::object)
        return value.is_object() ? walk(value, *key.shape, where, totals)
                                 : std::expected<void, QString>(unusable(where));
    if (key.value == Value::objects) {
        if (value.is_object())
            return walk(value, *key.shape, where, totals);
        if (!value.is_array())
            return unusable(where);
        for (std::size_t i = 0; i < value.size(); ++i) {
            const std::string item = where + '[' + std::to_string(i) + ']';
            if (!value[i].is_object())
                return unusable(item);
            if (auto ok = walk(value[i], *key.shape, item, totals); !ok)
                return ok;
        }
        return {};
    }
    if (!fits(key, value))
        return unusable(where);
    // Each prefix is a route the engine makes and undoes, within the service's seconds.
    if (key.value == Value::prefixes &&
        (totals.prefixes += value.is_array() ? value.size() : 1) > EnginePolicy::maxAllowedIps)
        return std::unexpected(
            QStringLiteral("The VPN configuration's tunnel settings have too many WireGuard "
                           "prefixes at \"%1\" (at most 256 in all)")
                .arg(shown(where)));
    return {};
}

const Key* find(std::span<const Key> keys, std::string_view name) {
    const auto it = std::ranges::find(keys, name, &Key::name);
    return it == keys.end() ? nullptr : &*it;
}

std::expected<void, QString> walk(const json& value, const Shape& shape, const std::string& where,
                                  Totals& totals) {
    const Variant* variant = nullptr;
    if (!shape.variants.empty()) {
        const auto type = value.find("type");
        const std::string_view name = type == value.end() ? std::string_view()
                                      : type->is_string()
                                          ? std::string_view(type->get_ref<const std::string&>())
                                          : std::string_view("?");
        const auto it = std::ranges::find(shape.variants, name, &Variant::type);
        if (it == shape.variants.end())
            return unusable(where.empty() ? std::string("type") : where + ".type");
        variant = &*it;
    }
    for (const auto& [name, member] : value.items()) {
        const std::string path = where.empty() ? name : where + '.' + name;
        const Key* key = find(shape.keys, name);
        if (!key && variant)
            key = find(variant->keys, name);
        if (!key && variant)
            key = find(variant->shared, name);
        if (!key)
            return notAllowed(path);
        if (auto ok = walkValue(*key, member, path, totals); !ok)
            return ok;
    }
    return {};
}

// Finds a key given twice in one object, reading the text as a stream of events: the
// parser keeps no nesting on the call stack, and the text's depth was bounded before.
class DuplicateKeys : public nlohmann::json_sax<json> {
public:
    std::optional<std::string> duplicate;

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override {
        value();
        m_open.push_back({true});
        return true;
    }
    bool start_array(std::size_t) override {
        value();
        m_open.push_back({false});
        return true;
    }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t& name) override {
        Container& object = m_open.back();
        object.label = name;
        if (!object.keys.insert(name).second) {
            duplicate = path();
            return false;
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    struct Container {
        bool object;
        std::set<std::string> keys = {};
        std::string label = {};
        std::size_t items = 0;
    };
    bool value() {
        if (!m_open.empty() && !m_open.back().object)
            m_open.back().label = '[' + std::to_string(m_open.back().items++) + ']';
        return true;
    }
    bool close() {
        m_open.pop_back();
        return true;
    }
    std::string path() const {
        std::string out;
        for (const Container& c : m_open)
            out += (c.object && !out.empty() ? "." : "") + c.label;
        return out;
    }
    std::vector<Container> m_open;
};

} // namespace

std::expected<QString, QString> EnginePolicy::check(std::string_view text) {
    const json doc = JsonDepth::parse(text, maxDepth);
    if (!doc.is_object())
        return std::unexpected(
            QStringLiteral("The VPN configuration's tunnel settings are not a JSON object"));
    DuplicateKeys keys;
    json::sax_parse(text, &keys);
    if (keys.duplicate)
        return std::unexpected(
            QStringLiteral("The VPN configuration's tunnel settings name \"%1\" more than once")
                .arg(shown(*keys.duplicate)));
    Totals totals;
    if (auto ok = walk(doc, document, {}, totals); !ok)
        return std::unexpected(ok.error());

    // Every inbound is a tun one by now; there must be one, its interface named plainly.
    const auto inbounds = doc.find("inbounds");
    const bool one = inbounds != doc.end() &&
                     (inbounds->is_object() || (inbounds->is_array() && inbounds->size() == 1));
    if (!one)
        return std::unexpected(
            QStringLiteral("The VPN configuration needs exactly one tun inbound"));
    const json& tun = inbounds->is_object() ? *inbounds : inbounds->front();
    const auto name = tun.find("interface_name");
    if (name == tun.end() || !name->is_string() ||
        !isValidInterfaceName(name->get_ref<const std::string&>()))
        return std::unexpected(QStringLiteral(
            "The VPN configuration's tun inbound needs an \"interface_name\" of 1 to 15 letters, "
            "digits, '-', '_' or '.'"));
    return QString::fromStdString(name->get<std::string>());
}

} // namespace veloxa::tunnel
