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
} // namespace

// What the built-in engine accepts of a tunnel-engine document, and how it says no.
class TestWireGuardConfig : public QObject {
    Q_OBJECT

private slots:
    void acceptedShapes() {
        const auto plain = WireGuardConfig::parse(document(
            {{"log", {{"level", "warn"}}},
             {"dns", {{"servers", {{{"address", "1.1.1.1"}}, {{"address", "tls://9.9.9.9"}}}}}},
             {"outbounds", {{{"type", "direct"}}, {{"type", "block"}}, {{"type", "dns"}}}},
             {"route", {{"final", "wg"}, {"auto_detect_interface", true}}}}));
        QVERIFY2(plain, plain ? "" : plain.error().c_str());
        QCOMPARE(plain->interfaceName, std::string("veloxa-de"));
        QVERIFY(plain->autoRoute);
        QCOMPARE(plain->mtu, 1420);
        QCOMPARE(plain->addresses.size(), 2u);
        QCOMPARE(plain->peers[0].allowedIps.size(), 2u); // everything when not given
        QCOMPARE(plain->dnsServers, std::vector<std::string>{"1.1.1.1"});
        QCOMPARE(plain->notes.size(), 1u); // the DNS-over-TLS server is skipped with a word

        // The older outbound shape, a host name, keys and tun options the engine ignores.
        const auto legacy = WireGuardConfig::parse(
            {{"inbounds", {tun({{"mtu", 1380}, {"stack", "system"}, {"strict_route", true}})}},
             {"outbounds",
              {{{"type", "wireguard"},
                {"server", "de.veloxa.test"},
                {"server_port", 443},
                {"local_address", "10.66.0.9"},
                {"private_key", key1},
                {"peer_public_key", key2},
                {"pre_shared_key", key2}}}}});
        QVERIFY2(legacy, legacy ? "" : legacy.error().c_str());
        QCOMPARE(legacy->mtu, 1380);
        QCOMPARE(legacy->addresses[0].text(), std::string("10.66.0.9/32"));
        QCOMPARE(legacy->peers[0].host, std::string("de.veloxa.test"));
        QCOMPARE(legacy->peers[0].allowedIps[0].text(), std::string("0.0.0.0/0"));

        // What `wg setconf` reads: only checked values, each on its own line.
        const std::string text = plain->wgConfig({"198.51.100.2:51820"}, 30309);
        QCOMPARE(text, "[Interface]\nPrivateKey = " + key1 +
                           "\nFwMark = 30309\n\n[Peer]\nPublicKey = " + key2 +
                           "\nEndpoint = 198.51.100.2:51820\nAllowedIPs = 0.0.0.0/0, ::/0\n");
    }

    void refusals_data() {
        QTest::addColumn<QByteArray>("documentText");
        QTest::addColumn<QString>("message");
        auto row = [](const char* name, const json& doc, const char* message) {
            QTest::newRow(name) << QByteArray::fromStdString(doc.dump()) << QString(message);
        };
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
