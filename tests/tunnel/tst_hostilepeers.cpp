#include "support/TunnelServiceProcess.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cstring>
#include <grp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using json = nlohmann::json;

namespace {

json configuration(const QString& name, const std::string& engine) {
    return {{"localizedDescription", name.toStdString()},
            {"isEnabled", true},
            {"providerBundleIdentifier", "net.veloxa.client.network-extension"},
            {"serverAddress", name.toStdString()},
            {"providerConfiguration", {{"SingboxConfig", engine}}}};
}

QString text(const json& value) {
    return QString::fromStdString(value.is_string() ? value.get<std::string>() : value.dump());
}

QString errorOf(const std::optional<json>& reply) {
    return reply ? text(reply->value("error", json())) : QStringLiteral("(no reply)");
}

QString save(RawControlClient& client, const json& config) {
    const auto reply = client.request({{"op", "save"}, {"configuration", config}});
    if (!reply || reply->value("ok", false) != true)
        return {};
    return text((*reply)["configuration"]["identifier"]);
}

qint64 residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

int engineFiles(const TunnelServiceProcess& service) {
    return QDir(service.runtimeDir()).entryList({QStringLiteral("engine-*")}, QDir::Files).size();
}

// A raw connection that writes without ever reading.
int connectRaw(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends requests on the control socket as another user (group nogroup) and collects the
// replies, and the events that reach that user within `lingerMs` afterwards.
json asUser(uid_t uid, const QString& socket, const json& requests, int lingerMs = 0) {
    static const char* script = R"(
import json, socket, sys, time
s = socket.socket(socket.AF_UNIX)
try:
    s.connect(sys.argv[1])
except OSError as e:
    print(json.dumps({"connect": e.strerror})); sys.exit()
f = s.makefile("rb")
replies, events = [], []
for i, r in enumerate(json.loads(sys.argv[2])):
    r["id"] = i + 1
    s.sendall((json.dumps(r) + "\n").encode())
    while True:
        m = json.loads(f.readline())
        if "event" in m: events.append(m); continue
        replies.append(m); break
s.settimeout(0.1)
end = time.time() + int(sys.argv[3]) / 1000
while time.time() < end:
    try:
        line = f.readline()
        if line: events.append(json.loads(line))
    except (socket.timeout, OSError):
        pass
print(json.dumps({"replies": replies, "events": events}))
)";
    QProcess process;
    process.setChildProcessModifier([uid] {
        ::setgroups(0, nullptr);
        if (::setgid(65534) != 0 || ::setuid(uid) != 0)
            ::_exit(99);
    });
    process.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"), QString::fromUtf8(script), socket,
                   QString::fromStdString(requests.dump()), QString::number(lingerMs)});
    process.waitForFinished(15000);
    const QByteArray out = process.readAllStandardOutput();
    if (out.isEmpty())
        qWarning() << "as user" << uid << process.readAllStandardError();
    return json::parse(out.cbegin(), out.cend(), nullptr, false);
}

} // namespace

// The tunnel service against a member of its group who means harm: every case here once
// crashed it, cut everyone off, ate its memory or let one user act for another.
class TestHostilePeers : public QObject {
    Q_OBJECT

private slots:
    void deepOrOddIdsNeverCrashTheService_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("closed");
        auto nested = [](int depth) {
            return "{\"op\":\"hello\",\"id\":" + QByteArray(depth, '[') + QByteArray(depth, ']') +
                   "}\n";
        };
        QTest::newRow("id nested 200000 deep") << nested(200000) << "Request too large" << true;
        QTest::newRow("id nested 60000 deep") << nested(60000) << "Malformed request" << true;
        QTest::newRow("array id") << QByteArray(R"({"op":"nope","id":[1]})"
                                                "\n")
                                  << "Unknown operation \"nope\"" << false;
        QTest::newRow("object id") << QByteArray(R"({"op":"nope","id":{"a":1}})"
                                                 "\n")
                                   << "Unknown operation \"nope\"" << false;
    }
    void deepOrOddIdsNeverCrashTheService() {
        QFETCH(QByteArray, frame);
        QFETCH(QString, error);
        QFETCH(bool, closed);
        TunnelServiceProcess service;
        QVERIFY(service.start());
        const qint64 pid = service.pid();
        RawControlClient attacker;
        QVERIFY(attacker.connectTo(service.controlSocket()));
        attacker.writeRaw(frame);
        const auto reply = attacker.next();
        QVERIFY(reply);
        QCOMPARE(text((*reply)["error"]), error);
        QVERIFY((*reply)["id"].is_null()); // only numbers, strings and null come back
        QCOMPARE(attacker.waitForClosed(), closed);

        RawControlClient after;
        QVERIFY(after.connectTo(service.controlSocket()));
        QVERIFY(after.request({{"op", "hello"}})->value("ok", false));
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
        QTRY_VERIFY(RawControlClient().connectTo(service.controlSocket()));
        RawControlClient after;
        QVERIFY(after.connectTo(service.controlSocket()));
        QVERIFY(after.request({{"op", "hello"}})->value("ok", false));
        service.terminate();
        QVERIFY(service.log().contains(QStringLiteral("out of file descriptors")));
    }

    void aClientThatNeverReadsIsDroppedAndMemoryStaysFlat() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient owner;
        QVERIFY(owner.connectTo(service.controlSocket()));
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
        bool closed = false;
        QTest::qWait(4000);
        char buffer[65536];
        for (int i = 0; i < 2000 && !closed; ++i) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                closed = true;
            else if (n < 0)
                QTest::qWait(10);
        }
        ::close(fd);
        QVERIFY(closed);
        QVERIFY(owner.request({{"op", "hello"}})->value("ok", false));
    }

    void quotasAreClearRefusals() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
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

    void engineSettingsAreCheckedBeforeAnyEngineRuns_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("error");
        const QByteArray tun = R"("inbounds":[{"type":"tun","interface_name":"v0"}])";
        QTest::newRow("log file") << R"({"log":{"output":"/etc/cron.d/x"},)" + tun + "}"
                                  << "The VPN configuration may not name files (\"log.output\")";
        QTest::newRow("web ui") << R"({"experimental":{"clash_api":{"external_ui":"/"}},)" + tun +
                                       "}"
                                << "The VPN configuration may not use \"experimental\" settings";
        QTest::newRow("tls file")
            << R"({"outbounds":[{"type":"vless","tls":{"certificate_path":"/root/x"}}],)" + tun +
                   "}"
            << "The VPN configuration may not name files (\"outbounds[0].tls.certificate_path\")";
        QTest::newRow("rule set") << R"({"route":{"rule_set":[{"type":"local","path":"/x"}]},)" +
                                         tun + "}"
                                  << "The VPN configuration may not name files "
                                     "(\"route.rule_set[0].path\")";
        QTest::newRow("listener")
            << QByteArray(R"({"inbounds":[{"type":"socks","listen":"0.0.0.0"}]})")
            << "The VPN configuration may not listen on sockets (\"inbounds[0].listen\")";
        QTest::newRow("second inbound")
            << QByteArray(R"({"inbounds":[{"type":"tun","interface_name":"v0"},{"type":"http"}]})")
            << "The VPN configuration has an inbound of type \"http\"; only a tun inbound is "
               "allowed";
        QTest::newRow("no tun") << QByteArray(R"({"outbounds":[]})")
                                << "The VPN configuration needs exactly one tun inbound";
        QTest::newRow("interface path")
            << QByteArray(R"({"inbounds":[{"type":"tun","interface_name":"../x"}]})")
            << "The VPN configuration's tun inbound needs an \"interface_name\" of 1 to 15 "
               "letters, digits, '-', '_' or '.'";
        QTest::newRow("existing interface")
            << QByteArray(R"({"inbounds":[{"type":"tun","interface_name":"lo"}],)"
                          R"("fake_engine":{"silent":true}})")
            << "The network interface \"lo\" already exists";
    }
    void engineSettingsAreCheckedBeforeAnyEngineRuns() {
        QFETCH(QByteArray, document);
        QFETCH(QString, error);
        TunnelServiceProcess service;
        QDir().mkpath(service.sysfs() + QStringLiteral("/lo"));
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id = save(client, configuration("T", document.toStdString()));
        QCOMPARE(errorOf(client.op("start", id)), error);
        QCOMPARE(engineFiles(service), 0);
    }

    void engineFilesNeverOutliveTheStart() {
        TunnelServiceProcess service;
        QDir().mkpath(service.runtimeDir());
        QFile stale(service.runtimeDir() + QStringLiteral("/engine-OLD.json"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        QVERIFY(service.start());
        QCOMPARE(engineFiles(service), 0); // left by a service that was killed

        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id =
            save(client, configuration("T", TunnelServiceProcess::engineConfig("v0")));
        client.op("start", id);
        QVERIFY(client.waitForStatus(id, 3));
        QCOMPARE(engineFiles(service), 0); // read by the engine, then gone
    }

    void aRestartedServiceBringsTheConnectionBack() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        QString id;
        {
            RawControlClient client;
            QVERIFY(client.connectTo(service.controlSocket()));
            id = save(client, configuration("T", TunnelServiceProcess::engineConfig("v0")));
            client.op("start", id);
            QVERIFY(client.waitForStatus(id, 3));
        }
        auto statusAfterRestart = [&](bool kill) {
            kill ? service.kill() : void(service.terminate());
            if (!service.start())
                return -1;
            RawControlClient client;
            client.connectTo(service.controlSocket());
            if (client.op("load", id)->value("configuration", json::object()).value("status", 0) ==
                3)
                return 3;
            return client.waitForStatus(id, 3, 5000) ? 3 : 1;
        };
        QCOMPARE(statusAfterRestart(true), 3);  // a crash
        QCOMPARE(statusAfterRestart(false), 3); // an upgrade's restart
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        client.op("stop", id);
        QVERIFY(client.waitForStatus(id, 1));
        QCOMPARE(statusAfterRestart(true), 1); // the user had stopped it
    }

    void usersSeeAndTouchOnlyTheirOwn() {
        if (::geteuid() != 0)
            QSKIP("needs root to act as three users");
        TunnelServiceProcess service;
        service.setSystemMode(QStringLiteral("nogroup"));
        QVERIFY(service.start());
        const QString socket = service.controlSocket();
        const uid_t alice = 60001, bob = 60002;
        const json saved =
            asUser(alice, socket,
                   json::array({{{"op", "save"},
                                 {"configuration",
                                  configuration("A", TunnelServiceProcess::engineConfig("va"))}}}));
        const std::string a = saved["replies"][0]["configuration"]["identifier"];
        const json b =
            asUser(bob, socket,
                   json::array({{{"op", "save"},
                                 {"configuration",
                                  configuration("B", TunnelServiceProcess::engineConfig("vb"))}}}));
        const std::string bId = b["replies"][0]["configuration"]["identifier"];

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
};

QTEST_GUILESS_MAIN(TestHostilePeers)
#include "tst_hostilepeers.moc"
