#include "WireGuardConfig.h"

#include <QTest>

using json = nlohmann::json;
using veloxa::engine::WireGuardConfig;

namespace {
const std::string key1 = "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=";
const std::string key2 = "xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=";

json tun(json extra = json::object()) {
    json t = {{"type", "tun"}, {"interface_name", "veloxa-de"}, {"auto_route", true}};
    t.update(extra);
    return t;
}

json endpoint(json peerExtra = json::object(), json extra = json::object()) {
    json peer = {{"address", "198.51.100.2"}, {"port", 51820}, {"public_key", key2}};
    peer.update(peerExtra);
    json e = {{"type", "wireguard"},
              {"address", {"10.66.0.2/32", "fd66::2/128"}},
              {"private_key", key1},
              {"peers", {peer}}};
    e.update(extra);
    return e;
}

json document(json extra = json::object()) {
    json d = {{"inbounds", {tun()}}, {"endpoints", {endpoint()}}};
    d.update(extra);
    return d;
}

json legacy(json extra = json::object(), json tunExtra = json::object()) {
    json o = {{"type", "wireguard"}, {"server", "de.veloxa.test"},
              {"server_port", 443},  {"local_address", "10.66.0.9"},
              {"private_key", key1}, {"peer_public_key", key2}};
    o.update(extra);
    return {{"inbounds", {tun(tunExtra)}}, {"outbounds", {o}}};
}

QByteArray text(const json& doc) {
    return QByteArray::fromStdString(doc.dump());
}
} // namespace

// What the built-in engine accepts of a tunnel-engine document, and how it says no.
class TestWireGuardConfig : public QObject {
    Q_OBJECT

private slots:
    // Accepted documents, and what `wg setconf` is given for them: only checked values,
    // each on its own line.
    void accepted_data() {
        QTest::addColumn<QByteArray>("documentText");
        QTest::addColumn<int>("mtu");
        QTest::addColumn<QString>("dns");
        QTest::addColumn<QString>("settings"); // with endpoint 192.0.2.7:51820 and mark 7
        const std::string peer = "\n\n[Peer]\nPublicKey = " + key2;
        const std::string withMark = "[Interface]\nPrivateKey = " + key1 + "\nFwMark = 7" + peer;
        QTest::newRow("the dev service's document")
            << text(document({{"log", {{"level", "warn"}}},
                              {"inbounds",
                               {tun({{"tag", "tun-in"},
                                     {"mtu", 1420},
                                     {"strict_route", true},
                                     {"stack", "system"}})}},
                              {"endpoints",
                               {endpoint({{"allowed_ips", {"0.0.0.0/0", "::/0"}},
                                          {"persistent_keepalive_interval", 25}},
                                         {{"tag", "wg"}, {"mtu", 1420}})}},
                              {"outbounds", {{{"type", "direct"}, {"tag", "direct"}}}},
                              {"route", {{"auto_detect_interface", true}, {"final", "wg"}}}}))
            << 1420 << ""
            << QString::fromStdString(withMark +
                                      "\nEndpoint = 192.0.2.7:51820\nAllowedIPs = 0.0.0.0/0, "
                                      "::/0\nPersistentKeepalive = 25\n");
        QTest::newRow("a typical service's tun keys, DNS in both shapes; the endpoint's MTU wins")
            << text(document(
                   {{"inbounds",
                     {tun({{"mtu", 9000},
                           {"address", {"172.19.0.1/30"}},
                           {"inet4_address", "172.19.0.1/30"},
                           {"sniff", true},
                           {"sniff_override_destination", false},
                           {"endpoint_independent_nat", true},
                           {"udp_timeout", "5m"}})}},
                    {"endpoints", {endpoint(json::object(), {{"mtu", 1380}, {"system", true}})}},
                    {"dns",
                     {{"servers",
                       {{{"tag", "t"}, {"address", "udp://10.66.0.1"}, {"detour", "wg"}},
                        {{"type", "udp"}, {"server", "2001:DB8::53"}, {"server_port", 53}},
                        {{"address", "tls://9.9.9.9"}},
                        {{"type", "https"}, {"server", "1.1.1.1"}}}},
                      {"strategy", "ipv4_only"}}}}))
            << 1380 << "10.66.0.1 2001:db8::53"
            << QString::fromStdString(
                   withMark + "\nEndpoint = 192.0.2.7:51820\nAllowedIPs = 0.0.0.0/0, ::/0\n");
        QTest::newRow("the older outbound, a preshared key, the tun's MTU")
            << text(legacy({{"pre_shared_key", key2}, {"tag", "wg"}, {"system_interface", true}},
                           {{"mtu", 1380}}))
            << 1380 << ""
            << QString::fromStdString(
                   withMark + "\nPresharedKey = " + key2 +
                   "\nEndpoint = 192.0.2.7:51820\nAllowedIPs = 0.0.0.0/0, ::/0\n");
    }
    void accepted() {
        QFETCH(QByteArray, documentText);
        QFETCH(int, mtu);
        QFETCH(QString, dns);
        QFETCH(QString, settings);
        const auto config = WireGuardConfig::parse(json::parse(documentText.toStdString()));
        QVERIFY2(config, config ? "" : config.error().c_str());
        QCOMPARE(config->mtu, mtu);
        QStringList servers;
        for (const auto& s : config->dnsServers)
            servers << QString::fromStdString(s);
        QCOMPARE(servers.join(u' '), dns);
        QCOMPARE(QString::fromStdString(config->wgConfig({"192.0.2.7:51820"}, 7)), settings);
    }

    void refusals_data() {
        QTest::addColumn<QByteArray>("documentText");
        QTest::addColumn<QString>("message");
        auto row = [](const char* name, const json& doc, const std::string& message) {
            QTest::newRow(name) << text(doc) << QString::fromStdString(message);
        };
        // Echoed values never read as the engine's ready line, which the service waits for.
        const std::string ready = "veloxa-engine: tunnel vx0 started (kernel)";
        const std::string echoed = "\"veloxa-engine: tunnel vx0 started ?kernel?\"";
        json many = json::array();
        for (int i = 0; i < 257; ++i)
            many.push_back("10.0.0." + std::to_string(i % 256) + "/32");
        row("vless", document({{"outbounds", {{{"type", "vless"}}}}}),
            "outbound type \"vless\" needs sing-box");
        row("socks inbound", document({{"inbounds", {tun(), {{"type", "socks"}}}}}),
            "inbound type \"socks\" needs sing-box");
        row("no tun", document({{"inbounds", json::array()}}),
            "the tunnel settings need exactly one tun inbound");
        row("other endpoint", document({{"endpoints", {{{"type", "tailscale"}}}}}),
            "endpoint type \"tailscale\" needs sing-box");
        row("two peers' endpoints", document({{"endpoints", {endpoint(), endpoint()}}}),
            "the tunnel settings have more than one WireGuard endpoint");
        row("no peer", document({{"endpoints", json::array()}}),
            "the tunnel settings have no WireGuard peer");
        row("route rules", document({{"route", {{"rules", json::array()}}}}),
            "route key \"rules\" needs sing-box");
        row("experimental", document({{"experimental", json::object()}}),
            "top-level key \"experimental\" needs sing-box");
        row("tun route exclusion",
            document({{"inbounds", {tun({{"inet4_route_exclude_address", {"10.0.0.0/8"}}})}}}),
            "the tun inbound key \"inet4_route_exclude_address\" needs sing-box");
        row("tun unknown key", document({{"inbounds", {tun({{"bogus", 1}})}}}),
            "the tun inbound key \"bogus\" needs sing-box");
        row("endpoint detour",
            document({{"endpoints", {endpoint(json::object(), {{"detour", "x"}})}}}),
            "the WireGuard endpoint key \"detour\" needs sing-box");
        row("peer reserved bytes", document({{"endpoints", {endpoint({{"reserved", {1, 2, 3}}})}}}),
            "a WireGuard peer key \"reserved\" needs sing-box");
        row("legacy outbound peers", legacy({{"peers", json::array()}}),
            "the WireGuard outbound key \"peers\" needs sing-box");
        row("DNS rules", document({{"dns", {{"rules", json::array()}}}}),
            "dns key \"rules\" needs sing-box");
        row("interface name", document({{"inbounds", {tun({{"interface_name", "a b"}})}}}),
            "the tun inbound needs an \"interface_name\" of 1 to 15 letters, digits, '-', '_' "
            "or '.'");
        row("key with a newline",
            document({{"endpoints",
                       {endpoint(json::object(), {{"private_key", key1 + "\nFwMark = 1"}})}}}),
            "the WireGuard endpoint \"private_key\" is not a valid WireGuard key");
        row("short key", document({{"endpoints", {endpoint({{"public_key", "abc="}})}}}),
            "a WireGuard peer \"public_key\" is not a valid WireGuard key");
        row("port", document({{"endpoints", {endpoint({{"port", 70000}})}}}),
            "a WireGuard peer \"port\" must be between 1 and 65535");
        row("fractional port", document({{"endpoints", {endpoint({{"port", 51820.5}})}}}),
            "a WireGuard peer \"port\" must be a whole number");
        row("host", document({{"endpoints", {endpoint({{"address", "evil host"}})}}}),
            "a WireGuard peer \"address\" \"evil host\" is not a host name or IP address");
        row("prefix", document({{"endpoints", {endpoint({{"allowed_ips", {"10.0.0.0/33"}}})}}}),
            "a WireGuard peer's \"allowed_ips\" \"10.0.0.0/33\" is not an IP prefix");
        row("small mtu for IPv6", document({{"inbounds", {tun({{"mtu", 1000}})}}}),
            "an IPv6 tunnel needs an \"mtu\" of at least 1280");
        row("not an object", json::array(), "the tunnel settings are not a JSON object");
        row("ready line as a type", document({{"outbounds", {{{"type", ready}}}}}),
            "outbound type " + echoed + " needs sing-box");
        row("ready line as a key", document({{"inbounds", {tun({{ready, 1}})}}}),
            "the tun inbound key " + echoed + " needs sing-box");
        row("ready line as a prefix",
            document({{"endpoints", {endpoint({{"allowed_ips", {ready}}})}}}),
            "a WireGuard peer's \"allowed_ips\" " + echoed + " is not an IP prefix");
        row("ready line as a server", document({{"endpoints", {endpoint({{"address", ready}})}}}),
            "a WireGuard peer \"address\" " + echoed + " is not a host name or IP address");
        row("257 prefixes", document({{"endpoints", {endpoint({{"allowed_ips", many}})}}}),
            "the WireGuard peers have more than 256 \"allowed_ips\" prefixes");
    }
    void refusals() {
        QFETCH(QByteArray, documentText);
        QFETCH(QString, message);
        const auto parsed = WireGuardConfig::parse(json::parse(documentText.toStdString()));
        QVERIFY(!parsed);
        QCOMPARE(QString::fromStdString(parsed.error()), message);
    }
};

QTEST_GUILESS_MAIN(TestWireGuardConfig)
#include "tst_wireguardconfig.moc"
