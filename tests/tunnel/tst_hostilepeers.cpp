#include "EnginePolicy.h"
#include "PeerPolicy.h"
#include "support/TunnelFixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <csignal>
#include <grp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using json = nlohmann::json;
using namespace fixtures;
using veloxa::tunnel::EnginePolicy;
using veloxa::tunnel::PeerPolicy;

namespace {

qint64 residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// A raw connection that writes without ever reading (Qt's socket, closed, closes only its
// own copy of the descriptor).
int connectRaw(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    return socket.waitForConnected(1000) ? ::dup(int(socket.socketDescriptor())) : -1;
}

// Sends requests on the control socket as another user (group nogroup) and collects the
// replies, and the events that reach that user within `lingerMs` afterwards.
json asUser(uid_t uid, const QString& socket, const json& requests, int lingerMs = 0) {
    // Unbuffered, so that what arrived is seen by select() and never left in a buffer.
    static const char* script = R"(
import json, select, socket, sys, time
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
f = s.makefile("rb", buffering=0)
replies, events = [], []
for i, r in enumerate(json.loads(sys.argv[2])):
    s.sendall((json.dumps(dict(r, id=i + 1)) + "\n").encode())
    while "event" in (m := json.loads(f.readline())):
        events.append(m)
    replies.append(m)
end = time.time() + int(sys.argv[3]) / 1000
while (left := end - time.time()) > 0 and select.select([s], [], [], left)[0]:
    if not (line := f.readline()):
        break
    events.append(json.loads(line))
print(json.dumps({"replies": replies, "events": events}))
)";
    QProcess process;
    TunnelServiceProcess::runAsUser(process, uid);
    process.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"), QString::fromUtf8(script), socket,
                   QString::fromStdString(requests.dump()), QString::number(lingerMs)});
    process.waitForFinished(15000);
    const QByteArray out = process.readAllStandardOutput();
    if (out.isEmpty())
        qWarning() << "as user" << uid << process.readAllStandardError();
    return json::parse(out.cbegin(), out.cend(), nullptr, false);
}

// A new client is served: it connects, and its hello is answered within `timeoutMs`.
bool serves(const TunnelServiceProcess& service, int timeoutMs = 5000) {
    RawControlClient client;
    const auto hello = client.connectTo(service.controlSocket())
                           ? client.request({{"op", "hello"}}, timeoutMs)
                           : std::nullopt;
    return hello && hello->value("ok", false);
}

} // namespace

// The tunnel service against a member of its group who means harm: every case here once
// crashed it, cut everyone off, ate its memory or let one user act for another.
class TestHostilePeers : public QObject {
    Q_OBJECT

    std::unique_ptr<TunnelServiceProcess> m_singBox;

private slots:
    // Frames that are not requests get an error reply (and, when not JSON, the end of the
    // connection); the service goes on serving others.
    void badFramesNeverStopTheService_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("closed");
        auto nested = [](int depth) {
            return "{\"op\":\"hello\",\"id\":" + QByteArray(depth, '[') + QByteArray(depth, ']') +
                   "}\n";
        };
        auto row = [](const char* name, const char* frame, const char* error, bool closed) {
            QTest::newRow(name) << QByteArray(frame) + '\n' << QString::fromUtf8(error) << closed;
        };
        QTest::newRow("id nested 200000 deep") << nested(200000) << "Request too large" << true;
        QTest::newRow("id nested 60000 deep") << nested(60000) << "Malformed request" << true;
        QTest::newRow("over 1 MiB")
            << QByteArray(1024 * 1024 + 10, 'a') << "Request too large" << true;
        row("not JSON", "{not json", "Malformed request", true);
        row("array id", R"({"op":"nope","id":[1]})", "Unknown operation \"nope\"", false);
        row("object id", R"({"op":"nope","id":{"a":1}})", "Unknown operation \"nope\"", false);
        row("operation not a name", R"({"op":7})", "The request has no operation", false);
        row("identifier not a name", R"({"op":"load","identifier":5})",
            "The request has no identifier", false);
        row("configuration not one", R"({"op":"save","configuration":{"isEnabled":"yes"}})", "",
            false);
        row("no such configuration", R"({"op":"start","identifier":"missing"})",
            "No such configuration", false);
    }
    void badFramesNeverStopTheService() {
        QFETCH(QByteArray, frame);
        QFETCH(QString, error);
        QFETCH(bool, closed);
        TunnelServiceProcess service;
        RawControlClient attacker;
        QVERIFY(service.start(attacker));
        const qint64 pid = service.pid();
        attacker.writeRaw(frame);
        const auto reply = attacker.next();
        QVERIFY(reply && reply->value("ok", true) == false);
        QVERIFY2(text((*reply)["error"]).startsWith(error), qPrintable(text((*reply)["error"])));
        QVERIFY((*reply)["id"].is_null()); // only numbers, strings and null come back
        if (closed)
            QVERIFY(attacker.waitForClosed());
        else
            QVERIFY(attacker.request({{"op", "hello"}})->value("ok", false));

        RawControlClient vanishing; // leaves in the middle of a frame
        QVERIFY(vanishing.connectTo(service.controlSocket()));
        vanishing.writeRaw("{\"id\":1,\"op\":\"loadAll\"}\n{\"id\":2,\"op\":\"sa");
        vanishing.socket().abort();
        QVERIFY(serves(service));
        QCOMPARE(service.pid(), pid);
    }

    void runningOutOfDescriptorsKeepsTheSocket() {
#ifdef __SANITIZE_ADDRESS__
        // UndefinedBehaviorSanitizer needs descriptors of its own to check a call, and
        // reports the calls it cannot check once they have run out.
        QSKIP("not meaningful in a sanitized service");
#endif
        TunnelServiceProcess service;
        service.setFileLimit(20);
        QVERIFY(service.start());
        std::vector<int> held;
        for (int i = 0; i < 30; ++i)
            if (const int fd = connectRaw(service.controlSocket()); fd >= 0)
                held.push_back(fd);
        QTest::qWait(300);
        QVERIFY(QFileInfo::exists(service.controlSocket()));
        for (const int fd : held)
            ::close(fd);
        // Served again once it has its descriptors back (until then a new connection is shed).
        QVERIFY(QTest::qWaitFor([&] { return serves(service, 200); }, 3000));
    }

    void aClientThatNeverReadsIsDroppedAndMemoryStaysFlat() {
        TunnelServiceProcess service;
        RawControlClient owner;
        QVERIFY(service.start(owner));
        const std::string padding(30 * 1024, 'x');
        for (int i = 0; i < 8; ++i) // loadAll answers about 240 KB
            QVERIFY(!save(owner, configuration(QStringLiteral("C%1").arg(i),
                                               json{{"pad", padding}}.dump()))
                         .isEmpty());
        const qint64 before = residentKiB(service.pid());

        const int fd = connectRaw(service.controlSocket());
        QVERIFY(fd >= 0);
        const QByteArray request = "{\"id\":1,\"op\":\"loadAll\"}\n";
        for (int i = 0; i < 1000; ++i)
            if (::send(fd, request.constData(), std::size_t(request.size()),
                       MSG_DONTWAIT | MSG_NOSIGNAL) < 0)
                break;
        QTest::qWait(3000);
        const qint64 during = residentKiB(service.pid());
        QVERIFY2(during - before < 20 * 1024,
                 qPrintable(QStringLiteral("grew from %1 to %2 KiB").arg(before).arg(during)));

        // Not reading for a few seconds ends the connection: what was queued, then the end.
        QTest::qWait(4000);
        char buffer[65536];
        const bool closed = QTest::qWaitFor(
            [&] {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
                return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
            },
            20000);
        ::close(fd);
        QVERIFY(closed);
        QVERIFY(owner.request({{"op", "hello"}})->value("ok", false));
    }

    void quotasAreClearRefusals() {
        TunnelServiceProcess service;
        RawControlClient client;
        QVERIFY(service.start(client));
        const std::string big(33 * 1024, 'x');
        QCOMPARE(
            errorOf(client.request({{"op", "save"}, {"configuration", configuration("Big", big)}})),
            QStringLiteral("The VPN configuration is too large (more than 32 KiB)"));
        for (int i = 0; i < 8; ++i)
            QVERIFY(!save(client, configuration(QStringLiteral("C%1").arg(i), "{}")).isEmpty());
        QCOMPARE(errorOf(client.request(
                     {{"op", "save"}, {"configuration", configuration("Ninth", "{}")}})),
                 QStringLiteral("You already have 8 VPN configurations; remove one first"));
    }

    // Engine documents: accepted ones reach the engine as they were saved; nothing of a
    // refused one ever reaches it, and the refusal says where it goes wrong. The engine is
    // a stand-in sing-box found on PATH that records what it is given.
    void onlyAllowedDocumentsReachTheEngine_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("refusal"); // part of the error, naming where; empty: accepted
        const QByteArray tun = R"("inbounds":[{"type":"tun","interface_name":"v0"}])";
        auto row = [&](const char* name, const QByteArray& rest, const char* refusal) {
            QTest::newRow(name) << "{" + rest + "," + tun + "}" << QString::fromUtf8(refusal);
        };
        row("log file, key in capitals", R"("log":{"Output":"/etc/cron.d/veloxa"})",
            "\"log.Output\"");
        row("controller, keys in capitals",
            R"("Experimental":{"Clash_API":{"External_Controller":"0.0.0.0:9090"}})",
            "\"Experimental\"");
        row("harmful copy of a key first",
            R"("log":{"output":"/etc/cron.d/veloxa"},"log":{"level":"info"})", "\"log\"");
        row("a key written with escapes, twice", R"("log":{},"\u006cog":{})", "\"log\" more");
        row("a key twice in a list's object",
            R"("outbounds":[{"type":"block"},{"type":"dns","tag":"a","tag":"b"}])",
            "\"outbounds[1].tag\" more");
        row("wireguard listens", R"("endpoints":[{"type":"wireguard","listen_port":51820}])",
            "\"endpoints[0].listen_port\"");
        row("remote rule set",
            R"("route":{"rule_set":[{"type":"remote","tag":"r","url":"http://192.0.2.1/r.srs",)"
            R"("download_detour":"direct"}]})",
            "\"route.rule_set\"");
        row("geosite download", R"("route":{"geosite":{"download_url":"http://192.0.2.1/g.db"}})",
            "\"route.geosite\"");
        row("url test fetches",
            R"("outbounds":[{"type":"urltest","outbounds":["d"],"url":"http://192.0.2.1/"},)"
            R"({"type":"direct","tag":"d"}])",
            "\"outbounds[0].url\"");
        row("clock set from the network",
            R"("ntp":{"enabled":true,"server":"192.0.2.1","write_to_system":true})", "\"ntp\"");
        row("lease files read", R"("route":{"dhcp_lease_files":["/etc/shadow"]})",
            "\"route.dhcp_lease_files\"");
        row("a number for a name", R"("log":{"level":5})", "\"log.level\"");
        row("port out of range",
            R"("outbounds":[{"type":"trojan","server":"a","server_port":70000}])",
            "\"outbounds[0].server_port\"");
        row("transport path not an HTTP path",
            R"("outbounds":[{"type":"vless","transport":{"type":"ws","path":"../x"}}])",
            "\"outbounds[0].transport.path\"");
        row("DNS server found by DHCP", R"("dns":{"servers":[{"address":"dhcp://auto"}]})",
            "\"dns.servers[0].address\"");
        row("outbound of a type not listed", R"("outbounds":[{"type":"tor"}])",
            "\"outbounds[0].type\"");
        row("rule that nests rules", R"("route":{"rules":[{"type":"logical","rules":[]}]})",
            "\"route.rules[0].type\"");
        // Each prefix is a route to make and to undo, within the service's seconds.
        auto prefixes = [](int count) {
            QByteArrayList list;
            for (int i = 0; i < count; ++i)
                list << "\"10.0." + QByteArray::number(i / 256) + '.' +
                            QByteArray::number(i % 256) + "/32\"";
            return '[' + list.join(',') + ']';
        };
        row("over 256 prefixes in all",
            R"("endpoints":[{"type":"wireguard","peers":[{"allowed_ips":)" + prefixes(200) +
                R"(},{"allowed_ips":)" + prefixes(57) + "}]}]",
            "\"endpoints[0].peers[1].allowed_ips\"");
        QTest::newRow("not an object") << QByteArray("[]") << "not a JSON object";
        QTest::newRow("deeper than any document")
            << "{\"log\":" + QByteArray(40, '[') + QByteArray(40, ']') + "}"
            << "not a JSON object";
        QTest::newRow("no tun") << QByteArray(R"({"outbounds":[]})") << "exactly one tun inbound";
        QTest::newRow("interface name as a path")
            << QByteArray(R"({"inbounds":[{"type":"tun","interface_name":"../x"}]})")
            << "\"interface_name\" of 1 to 15";

        QTest::newRow("one inbound, not a list")
            << QByteArray(R"({"inbounds":{"type":"tun","interface_name":"v0"}})") << QString();
        QTest::newRow("wireguard, as the service hands out") << QByteArray(R"({
  "log":{"level":"warn"},"dns":{"servers":[{"tag":"exit-dns","address":"10.66.0.1",
  "detour":"wg"}],"final":"exit-dns"},"inbounds":[{"type":"tun","tag":"tun-in",
  "interface_name":"veloxa-de","mtu":1420,"auto_route":true,"strict_route":true,
  "stack":"system"}],"endpoints":[{"type":"wireguard","tag":"wg","address":["10.66.0.2/32",
  "fd66::2/128"],"private_key":"cGFzc3dvcmRwYXNzd29yZHBhc3N3b3JkcGFzc3dvcmQ=","mtu":1420,
  "peers":[{"address":"203.0.113.7","port":51820,"allowed_ips":["0.0.0.0/0","::/0"],
  "public_key":"a2V5a2V5a2V5a2V5a2V5a2V5a2V5a2V5a2V5a2V5a2U=",
  "persistent_keepalive_interval":25}]}],"outbounds":[{"type":"direct","tag":"direct"}],
  "route":{"auto_detect_interface":true,"final":"wg"}})") << QString();
        QTest::newRow("vless reality and trojan over websocket") << QByteArray(R"({
  "log":{"level":"info","timestamp":true},"dns":{"servers":[{"type":"tls","tag":"remote",
  "server":"1.1.1.1","detour":"proxy"},{"type":"local","tag":"local"}],
  "rules":[{"domain_suffix":[".lan"],"server":"local"}],"final":"remote","strategy":"ipv4_only",
  "independent_cache":true},"inbounds":[{"type":"tun","tag":"tun-in","interface_name":"tun0",
  "mtu":9000,"address":["172.19.0.1/30","fdfe:dcba:9876::1/126"],"auto_route":true,
  "strict_route":true,"stack":"mixed","route_exclude_address":["192.168.0.0/16"]}],
  "outbounds":[{"type":"selector","tag":"proxy","outbounds":["nl","auto"],"default":"auto"},
  {"type":"urltest","tag":"auto","outbounds":["nl","de"],"interval":"3m","tolerance":50},
  {"type":"vless","tag":"nl","server":"nl.example.net","server_port":443,
  "uuid":"bf000d23-0752-40b4-affe-68f7707a9661","flow":"xtls-rprx-vision","tls":{"enabled":true,
  "server_name":"www.example.com","utls":{"enabled":true,"fingerprint":"chrome"},
  "reality":{"enabled":true,"public_key":"jNXHt1yRo0vDuchQlIP6Z0ZvjT3KtzVI-T4E7RoLJS0",
  "short_id":"0123abcd"}}},{"type":"trojan","tag":"de","server":"de.example.net",
  "server_port":443,"password":"pw","tls":{"enabled":true,"server_name":"de.example.net",
  "alpn":["h2","http/1.1"]},"transport":{"type":"ws","path":"/ray",
  "headers":{"Host":"de.example.net"}},"multiplex":{"enabled":true,"protocol":"h2mux",
  "max_connections":4}},{"type":"direct","tag":"direct"}],"route":{"rules":[{"action":"sniff"},
  {"protocol":"dns","action":"hijack-dns"},{"ip_is_private":true,"outbound":"direct"}],
  "final":"proxy","auto_detect_interface":true}})") << QString();
        // "\/" is JSON's "/": moc takes "//" in a raw string for a comment.
        QTest::newRow("shadowsocks, hysteria2, tuic, vmess, legacy wireguard") << QByteArray(R"({
  "dns":{"servers":[{"tag":"google","address":"tls:\/\/8.8.8.8","detour":"ss"},{"tag":"local",
  "address":"local","detour":"direct"}],"rules":[{"outbound":"any","server":"local"}],
  "strategy":"prefer_ipv4"},"inbounds":[{"type":"tun","interface_name":"sb-tun",
  "inet4_address":"172.19.0.1/30","auto_route":true,"sniff":true,
  "sniff_override_destination":true,"endpoint_independent_nat":true}],
  "outbounds":[{"type":"shadowsocks","tag":"ss","server":"198.51.100.4","server_port":8388,
  "method":"2022-blake3-aes-128-gcm","password":"8JCsPssfgS8tiRwiMlhARg==",
  "multiplex":{"enabled":true}},{"type":"hysteria2","tag":"hy2","server":"198.51.100.5",
  "server_port":443,"password":"pw","up_mbps":50,"down_mbps":200,"obfs":{"type":"salamander",
  "password":"ob"},"tls":{"enabled":true,"server_name":"hy.example.net","alpn":["h3"]}},
  {"type":"tuic","tag":"tuic","server":"198.51.100.6","server_port":443,"password":"pw",
  "uuid":"2dd61d93-75d8-4da4-ac0e-6aece7eac365","congestion_control":"bbr",
  "tls":{"enabled":true,"server_name":"tuic.example.net","alpn":["h3"]}},{"type":"vmess",
  "tag":"vm","server":"198.51.100.8","server_port":443,"security":"auto",
  "uuid":"bf000d23-0752-40b4-affe-68f7707a9661","transport":{"type":"grpc",
  "service_name":"grpc"},"tls":{"enabled":true}},{"type":"wireguard","tag":"wg",
  "server":"198.51.100.7","server_port":51820,"local_address":["10.0.0.2/32"],"mtu":1408,
  "private_key":"cGFzc3dvcmRwYXNzd29yZHBhc3N3b3JkcGFzc3dvcmQ=",
  "peer_public_key":"a2V5a2V5a2V5a2V5a2V5a2V5a2V5a2V5a2V5a2V5a2U="},{"type":"direct",
  "tag":"direct"},{"type":"block","tag":"block"},{"type":"dns","tag":"dns-out"}],
  "route":{"rules":[{"protocol":"dns","outbound":"dns-out"},{"port":[53],"outbound":"dns-out"},
  {"domain_suffix":["ads.example"],"outbound":"block"}],"final":"ss",
  "auto_detect_interface":true}})") << QString();
    }
    void onlyAllowedDocumentsReachTheEngine() {
        QFETCH(QByteArray, document);
        QFETCH(QString, refusal);
        if (!m_singBox) {
            m_singBox = std::make_unique<TunnelServiceProcess>();
            m_singBox->installStandIn(QStringLiteral("sing-box"));
            m_singBox->setEngine({}); // the service's own choice: sing-box, found on PATH
            QVERIFY(m_singBox->start());
        }
        RawControlClient client;
        QVERIFY(client.connectTo(m_singBox->controlSocket()));
        const auto left = client.request({{"op", "loadAll"}}); // by a row that failed
        for (const json& configuration : left->value("configurations", json::array()))
            client.op("remove", text(configuration["identifier"]));
        const QString before = m_singBox->standInCalls(QStringLiteral("sing-box"));
        const QString id = save(client, configuration("T", document.toStdString()));
        QVERIFY(!id.isEmpty());
        const auto started = client.op("start", id);
        if (refusal.isEmpty()) {
            QVERIFY2(started->value("ok", false), qPrintable(errorOf(started)));
            QVERIFY(client.waitForStatus(id, 3));
            client.op("stop", id);
            QVERIFY(client.waitForStatus(id, 1));
            QVERIFY(m_singBox->standInCalls(QStringLiteral("sing-box"))
                        .mid(before.size())
                        .contains(QString::fromUtf8(document)));
        } else {
            QVERIFY2(errorOf(started).contains(refusal), qPrintable(errorOf(started)));
            QCOMPARE(m_singBox->standInCalls(QStringLiteral("sing-box")), before);
        }
    }

    // A member re-saves a connection whose engine keeps failing under the name of another
    // program's interface: whatever the service asks the engine to remove, it never names
    // that interface.
    void aChangedConfigurationInheritsNothing() {
        TunnelServiceProcess service;
        service.runStandIn(QStringLiteral("veloxa-engine"));
        QDir().mkpath(service.sysfs() + QStringLiteral("/wg0")); // another program's
        RawControlClient client;
        QVERIFY(service.start(client));
        auto failing = [&](const QString& interface) {
            return configuration(
                "T", engine(interface,
                            {{"crash_after_ms", 200},
                             {"create_dir", (service.sysfs() + u'/' + interface).toStdString()}}));
        };
        const QString id = save(client, failing(QStringLiteral("v0")));
        client.op("start", id);
        QVERIFY(client.waitForStatus(id, 4));
        json changed = failing(QStringLiteral("wg0"));
        changed["identifier"] = id.toStdString();
        QCOMPARE(save(client, changed), id);
        QTRY_VERIFY(service.standInCalls(QStringLiteral("veloxa-engine"))
                        .contains(QStringLiteral("\"interface_name\":\"wg0\"")));
        client.op("stop", id);
        QVERIFY(client.waitForStatus(id, 1));

        for (const QString& call : service.commandLines(QStringLiteral("veloxa-engine")))
            QVERIFY2(!call.contains(QStringLiteral("wg0")) &&
                         (!call.startsWith(QStringLiteral("cleanup")) ||
                          call.startsWith("cleanup --state " + service.ledger())),
                     qPrintable(call));
    }

    // What a restarted service does about the connection that was up: the built-in engine
    // removes what the dead run left but keeps traffic held, then resumes. A service killed or
    // handing over (an upgrade) leaves the hold in place meanwhile; one stopped releases it.
    void aRestartedServiceResumesTheConnection_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("stoppedBefore");
        QTest::addColumn<int>("exitCode"); // of the service that ended; -1: killed
        QTest::addColumn<bool>("held");    // the engine's ledger stayed until the next service
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("calls"); // the engine's command lines after the restart
        const QStringList resumed{QStringLiteral("cleanup --state {state} --keep-connection"),
                                  QStringLiteral("run -c {config} --state {state} --resume")};
        QTest::newRow("service crashed") << SIGKILL << false << -1 << true << 3 << resumed;
        QTest::newRow("service handed over") << SIGUSR1 << false << 75 << true << 3 << resumed;
        QTest::newRow("service restarted") << SIGTERM << false << 0 << false << 3 << resumed;
        QTest::newRow("user had disconnected")
            << SIGKILL << true << -1 << false << 1
            << QStringList{QStringLiteral("cleanup --state {state}")};
    }
    void aRestartedServiceResumesTheConnection() {
        QFETCH(int, signal);
        QFETCH(bool, stoppedBefore);
        QFETCH(int, exitCode);
        QFETCH(bool, held);
        QFETCH(int, status);
        QFETCH(QStringList, calls);
        TunnelServiceProcess service;
        service.runStandIn(QStringLiteral("veloxa-engine"));
        QString id;
        {
            RawControlClient client;
            QVERIFY(service.start(client));
            id = connectTunnel(client, "v0");
            QVERIFY(!id.isEmpty());
            if (stoppedBefore) {
                client.op("stop", id);
                QVERIFY(client.waitForStatus(id, 1));
            }
        }
        QCOMPARE(service.stop(signal), exitCode);
        QTRY_COMPARE(service.enginesRunning(), 0);
        QCOMPARE(QFileInfo::exists(service.ledger()), held);
        // Settings a killed service left (they hold credentials) go before anything runs.
        const QString stale = service.runtimeDir() + QStringLiteral("/engine-OLD.json");
        QVERIFY(QFile(stale).open(QIODevice::WriteOnly));
        const qsizetype before = service.commandLines(QStringLiteral("veloxa-engine")).size();
        RawControlClient client;
        QVERIFY(service.start(client));
        QVERIFY(!QFileInfo::exists(stale));
        if (status == 3 && client.op("load", id)->at("configuration").value("status", 0) != 3)
            QVERIFY(client.waitForStatus(id, 3));
        QCOMPARE(client.op("load", id)->at("configuration").value("status", 0), status);
        QVERIFY(!QFileInfo::exists(service.runtimeDir() + QStringLiteral("/engine-config.json")));
        calls.replaceInStrings(QStringLiteral("{state}"), service.ledger());
        calls.replaceInStrings(QStringLiteral("{config}"),
                               service.runtimeDir() + QStringLiteral("/engine-config.json"));
        QCOMPARE(service.commandLines(QStringLiteral("veloxa-engine")).mid(before), calls);
    }

    void usersSeeAndTouchOnlyTheirOwn() {
        if (::geteuid() != 0)
            QSKIP("needs root to act as three users");
        TunnelServiceProcess service;
        service.setSystemMode(QStringLiteral("nogroup"));
        QVERIFY(service.start());
        const QString socket = service.controlSocket();
        const uid_t alice = 60001, bob = 60002;
        auto saveAs = [&](uid_t uid, const char* interface) -> std::string {
            const json saved = configuration("T", engine(QString::fromLatin1(interface)));
            return asUser(uid, socket,
                          json::array({{{"op", "save"},
                                        {"configuration",
                                         saved}}}))["replies"][0]["configuration"]["identifier"];
        };
        const std::string a = saveAs(alice, "va"), bId = saveAs(bob, "vb");

        // Bob listens while Alice connects: no word of her connection reaches him.
        json bobHeard;
        std::thread listener([&] {
            bobHeard = asUser(bob, socket, json::array({{{"op", "hello"}}}), 2000);
        });
        QTest::qWait(300);
        const json started =
            asUser(alice, socket, json::array({{{"op", "start"}, {"identifier", a}}}), 500);
        listener.join();
        QVERIFY(started["replies"][0]["ok"] == true);
        QCOMPARE(bobHeard["events"].size(), 0u);

        json foreign = json::array();
        for (const char* op : {"load", "stop", "remove", "start"})
            foreign.push_back({{"op", op}, {"identifier", a}});
        json overwrite = configuration("Mine now", "{}");
        overwrite["identifier"] = a;
        foreign.push_back({{"op", "save"}, {"configuration", overwrite}});
        foreign.push_back({{"op", "loadAll"}});
        foreign.push_back({{"op", "start"}, {"identifier", bId}});
        const json replies = asUser(bob, socket, foreign)["replies"];
        for (int i = 0; i < 5; ++i)
            QCOMPARE(text(replies[i]["error"]), QStringLiteral("No such configuration"));
        QCOMPARE(replies[5]["configurations"].size(), 1u); // his own only
        QCOMPARE(text(replies[6]["error"]),
                 QStringLiteral("Another user's VPN connection is active on this computer"));

        RawControlClient root; // root sees and stops everything
        QVERIFY(root.connectTo(socket));
        QCOMPARE((*root.request({{"op", "loadAll"}}))["configurations"].size(), 2u);
        QVERIFY(root.request({{"op", "stop"}, {"identifier", a}})->value("ok", false));
        QVERIFY(root.waitForStatus(QString::fromStdString(a), 1));
    }

    // Who may use the sockets, and what they may ask of the engine, decided alone.
    void userModeAdmitsOnlyTheSameUser() {
        const PeerPolicy policy = PeerPolicy::forUser();
        QVERIFY(policy.allowsUser(::getuid(), ::getgid()));
        QVERIFY(!policy.allowsUser(::getuid() + 4242, ::getgid()));
        if (::getuid() != 0)
            QVERIFY(!policy.allowsUser(0, 0)); // not even root: the service is the user's
        int pair[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        QVERIFY(policy.allows(pair[0])); // our own process on the other end
        ::close(pair[0]);
        ::close(pair[1]);
        QVERIFY(!policy.allows(-1)); // no credentials, no access
    }

    void systemModeAdmitsRootAndTheGroup() {
        // A group every machine has stands in for "veloxa".
        const group* g = ::getgrnam("daemon");
        QVERIFY(g);
        const PeerPolicy policy = PeerPolicy::forSystem(QStringLiteral("daemon"));
        QCOMPARE(policy.groupId(), long(g->gr_gid));
        QVERIFY(policy.allowsUser(0, 0));
        QVERIFY(policy.allowsUser(54321, g->gr_gid)); // primary group
        QVERIFY(!policy.allowsUser(54321, 54321));    // unknown user, other group
        const PeerPolicy missing = PeerPolicy::forSystem(QStringLiteral("no-such-group-here"));
        QCOMPARE(missing.groupId(), -1L);
        QVERIFY(!missing.allowsUser(54321, 54321));
        QVERIFY(missing.allowsUser(0, 0));
    }
};

QTEST_GUILESS_MAIN(TestHostilePeers)
#include "tst_hostilepeers.moc"
