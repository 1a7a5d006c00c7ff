#include "support/TunnelServiceProcess.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using json = nlohmann::json;

namespace {
int mode(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}
} // namespace

// The tunnel service as a process, spoken to over its sockets.
class TestTunnelService : public QObject {
    Q_OBJECT

    static json configuration(const QString& name, const std::string& engine, bool enabled = true) {
        return {{"localizedDescription", name.toStdString()},
                {"isEnabled", enabled},
                {"providerBundleIdentifier", "net.veloxa.client.network-extension"},
                {"serverAddress", name.toStdString()},
                {"providerConfiguration", {{"SingboxConfig", engine}}}};
    }
    static QString save(RawControlClient& client, const json& config) {
        const auto reply = client.request({{"op", "save"}, {"configuration", config}});
        if (!reply || reply->value("ok", false) != true)
            return {};
        return QString::fromStdString((*reply)["configuration"]["identifier"].get<std::string>());
    }
    // Engine processes that still run with a configuration from this service's folder.
    static int enginesRunning(const TunnelServiceProcess& service) {
        int count = 0;
        QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            QFile cmdline(it.next() + QStringLiteral("/cmdline"));
            if (cmdline.open(QIODevice::ReadOnly) &&
                cmdline.readAll().contains(service.runtimeDir().toUtf8() + "/engine-"))
                ++count;
        }
        return count;
    }
    // A JSON value as text: strings as they are, anything else as JSON.
    static QString text(const json& value) {
        return QString::fromStdString(value.is_string() ? value.get<std::string>() : value.dump());
    }

private slots:
    void configurationsSurviveRestartsAndStayPrivate() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const auto hello = client.request({{"op", "hello"}});
        QVERIFY(hello && hello->value("ok", false));
        QVERIFY(hello->contains("version"));

        const QString a = save(client, configuration("Veloxa — Germany", "{}"));
        const QString b = save(client, configuration("Other", "{}"));
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        json renamed = configuration("Veloxa — Russia", "{\"x\":1}");
        renamed["identifier"] = a.toStdString();
        QCOMPARE(save(client, renamed), a);
        json unknown = renamed;
        unknown["identifier"] = "NOPE";
        QCOMPARE(text(client.request({{"op", "save"}, {"configuration", unknown}})
                          ->value("error", std::string())),
                 QStringLiteral("No such configuration"));
        QVERIFY(client.op("remove", b)->value("ok", false));

        QCOMPARE(mode(service.stateDir()), 0700);
        QCOMPARE(mode(service.stateDir() + u'/' + a + QStringLiteral(".json")), 0600);
        QCOMPARE(mode(service.controlSocket()), 0600);
        QCOMPARE(mode(service.statsSocket()), 0600);

        service.kill(); // no chance to tidy up
        QVERIFY(service.start());
        RawControlClient again;
        QVERIFY(again.connectTo(service.controlSocket()));
        const auto all = again.request({{"op", "loadAll"}});
        QCOMPARE((*all)["configurations"].size(), 1u);
        const auto& stored = (*all)["configurations"][0];
        QCOMPARE(text(stored["localizedDescription"]), QStringLiteral("Veloxa — Russia"));
        QCOMPARE(text(stored["providerConfiguration"]["SingboxConfig"]),
                 QStringLiteral("{\"x\":1}"));
        QCOMPARE(text(stored["status"]), QStringLiteral("1"));
    }

    void unreadableFilesAreKeptAside() {
        TunnelServiceProcess service;
        QDir().mkpath(service.stateDir());
        auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(service.stateDir() + u'/' + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write(
            QStringLiteral("GOOD.json"),
            R"({"sequence":1,"configuration":{"identifier":"GOOD","localizedDescription":"g","isEnabled":true,"providerBundleIdentifier":"p","serverAddress":"s","providerConfiguration":{}}})");
        write(QStringLiteral("TRUNC.json"),
              "{\"sequence\":2,\"configuration\":{\"identifier\":\"TR");
        write(
            QStringLiteral("WRONG.json"),
            R"({"sequence":3,"configuration":{"identifier":"OTHER","localizedDescription":"g","isEnabled":true,"providerBundleIdentifier":"p","serverAddress":"s","providerConfiguration":{}}})");
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        QCOMPARE((*client.request({{"op", "loadAll"}}))["configurations"].size(), 1u);
        const QStringList files = QDir(service.stateDir()).entryList(QDir::Files);
        QCOMPARE(files.filter(QStringLiteral("TRUNC.json.corrupt-")).size(), 1);
        QCOMPARE(files.filter(QStringLiteral("WRONG.json.corrupt-")).size(), 1);
        QCOMPARE(service.terminate(), 0);
        QVERIFY(service.log().contains(QStringLiteral("TRUNC.json is unreadable")));
    }

    void startStopAndEventsReachEveryClient() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient one, two;
        QVERIFY(one.connectTo(service.controlSocket()));
        QVERIFY(two.connectTo(service.controlSocket()));
        const QString id =
            save(one, configuration("T", TunnelServiceProcess::engineConfig("veloxa0")));
        QVERIFY(one.op("start", id)->value("ok", false));
        QCOMPARE(*one.waitForStatus(id, 3), (QList<int>{2, 3}));
        QCOMPARE(*two.waitForStatus(id, 3), (QList<int>{2, 3}));
        QCOMPARE(text((*one.op("load", id))["configuration"]["status"]), QStringLiteral("3"));
        QCOMPARE(enginesRunning(service), 1);

        QVERIFY(two.op("stop", id)->value("ok", false));
        QCOMPARE(*one.waitForStatus(id, 1), (QList<int>{5, 1}));
        QCOMPARE(*two.waitForStatus(id, 1), (QList<int>{5, 1}));
        QTRY_COMPARE(enginesRunning(service), 0);
    }

    void oneConnectionAtATime() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString a =
            save(client, configuration("A", TunnelServiceProcess::engineConfig("veloxa0")));
        const QString b =
            save(client, configuration("B", TunnelServiceProcess::engineConfig("veloxa0")));
        client.op("start", a);
        QVERIFY(client.waitForStatus(a, 3));
        client.op("start", b);
        QVERIFY(client.waitForStatus(a, 1));
        QVERIFY(client.waitForStatus(b, 3));
        QCOMPARE(enginesRunning(service), 1);
        const auto all = client.request({{"op", "loadAll"}});
        QCOMPARE(text((*all)["configurations"][0]["status"]), QStringLiteral("1"));
        QCOMPARE(text((*all)["configurations"][1]["status"]), QStringLiteral("3"));
    }

    void enginesThatFailOrCrash() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));

        const QString failing =
            save(client, configuration("F", TunnelServiceProcess::engineConfig(
                                                "v0", {{"fail_at_start", true}})));
        client.op("start", failing);
        QCOMPARE(*client.waitForStatus(failing, 1), (QList<int>{2, 1}));

        // Crashes once, then stays up: reasserting, then connected again.
        const QString marker = service.root() + QStringLiteral("/crashed");
        const QString flaky =
            save(client, configuration("C", TunnelServiceProcess::engineConfig(
                                                "v1", {{"crash_after_ms", 150},
                                                       {"crash_marker", marker.toStdString()}})));
        client.op("start", flaky);
        QCOMPARE(*client.waitForStatus(flaky, 4), (QList<int>{2, 3, 4}));
        QCOMPARE(*client.waitForStatus(flaky, 3), (QList<int>{3}));

        // Crashes every time: a few restarts, then disconnected.
        const QString broken = save(
            client,
            configuration("B", TunnelServiceProcess::engineConfig("v2", {{"crash_after_ms", 50}})));
        client.op("start", broken);
        const auto seen = client.waitForStatus(broken, 1, 20000);
        QVERIFY(seen);
        QCOMPARE(seen->count(4), 3);
        QTRY_COMPARE(enginesRunning(service), 0);

        // An engine killed from outside is restarted too.
        const QString steady =
            save(client, configuration("S", TunnelServiceProcess::engineConfig("v3")));
        client.op("start", steady);
        QVERIFY(client.waitForStatus(steady, 3));
        QProcess::execute(QStringLiteral("pkill"),
                          {QStringLiteral("-KILL"), QStringLiteral("-f"),
                           service.runtimeDir() + QStringLiteral("/engine-")});
        QCOMPARE(*client.waitForStatus(steady, 3), (QList<int>{4, 3}));
    }

    void missingEngineIsAClearStartError() {
        TunnelServiceProcess service(
            {QStringLiteral("--engine"), QStringLiteral("no-such-engine-binary run -c {config}")});
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id =
            save(client, configuration("T", TunnelServiceProcess::engineConfig("veloxa0")));
        const auto reply = client.op("start", id);
        QCOMPARE(reply->value("ok", true), false);
        QCOMPARE(text((*reply)["error"]),
                 QStringLiteral(
                     "The tunnel engine \"no-such-engine-binary\" was not found on this computer"));
        const QString disabled = save(client, configuration("D", "{}", false));
        QCOMPARE(client.op("start", disabled)->value("error", std::string()),
                 "The VPN configuration is disabled");
    }

    void badFramesNeverStopTheService() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        QCOMPARE(text(client.request({{"op", "frobnicate"}})->value("error", std::string())),
                 QStringLiteral("Unknown operation \"frobnicate\""));
        QCOMPARE(client.request({{"op", 7}})->value("ok", true), false);
        QCOMPARE(
            text(
                client.request({{"op", "load"}, {"identifier", 5}})->value("error", std::string())),
            QStringLiteral("The request has no identifier"));
        QCOMPARE(client.request({{"op", "save"}, {"configuration", {{"isEnabled", "yes"}}}})
                     ->value("ok", true),
                 false);
        QCOMPARE(text(client.request({{"op", "start"}, {"identifier", "missing"}})
                          ->value("error", std::string())),
                 QStringLiteral("No such configuration"));

        client.writeRaw("{not json\n");
        QCOMPARE(text((*client.next())["error"]), QStringLiteral("Malformed request"));
        QVERIFY(client.waitForClosed());

        RawControlClient big;
        QVERIFY(big.connectTo(service.controlSocket()));
        big.writeRaw(QByteArray(1024 * 1024 + 10, 'a'));
        QCOMPARE(text((*big.next())["error"]), QStringLiteral("Request too large"));
        QVERIFY(big.waitForClosed());

        RawControlClient vanishing;
        QVERIFY(vanishing.connectTo(service.controlSocket()));
        vanishing.writeRaw("{\"id\":1,\"op\":\"loadAll\"}\n{\"id\":2,\"op\":\"sa");
        vanishing.socket().abort();

        RawControlClient after;
        QVERIFY(after.connectTo(service.controlSocket()));
        QVERIFY(after.request({{"op", "hello"}})->value("ok", false));
    }

    void statisticsFromTheInterfaceCounters() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        QLocalSocket stats;
        auto ask = [&]() -> QByteArray {
            if (stats.state() != QLocalSocket::ConnectedState) {
                stats.connectToServer(service.statsSocket());
                if (!stats.waitForConnected(2000))
                    return "no connection";
            }
            stats.write("{\"op\":\"getRuntimeStats\"}\n");
            if (!stats.waitForReadyRead(2000))
                return "no answer";
            return stats.readLine().trimmed();
        };
        QCOMPARE(ask(), QByteArray("null")); // nothing runs

        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id =
            save(client, configuration("T", TunnelServiceProcess::engineConfig("veloxa7")));
        client.op("start", id);
        QVERIFY(client.waitForStatus(id, 3));
        QCOMPARE(ask(), QByteArray("null")); // the interface has no counters yet
        service.setCounters(QStringLiteral("veloxa7"), "0", "0");
        QCOMPARE(ask(), QByteArray(R"({"rx_bytes":0,"tx_bytes":0})"));
        service.setCounters(QStringLiteral("veloxa7"), "18446744073709551615", "42");
        QCOMPARE(ask(), QByteArray(R"({"rx_bytes":18446744073709551615,"tx_bytes":42})"));
        service.setCounters(QStringLiteral("veloxa7"), "18446744073709551616", "42");
        QCOMPARE(ask(), QByteArray("null"));
        service.setCounters(QStringLiteral("veloxa7"), "-5", "42");
        QCOMPARE(ask(), QByteArray("null"));

        stats.write("nonsense\n");
        QVERIFY(stats.waitForDisconnected(2000));
        service.setCounters(QStringLiteral("veloxa7"), "1", "2");
        QCOMPARE(ask(), QByteArray(R"({"rx_bytes":1,"tx_bytes":2})"));
    }

    void sigtermWhileConnectedLeavesNothingRunning() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id = save(client, configuration("T", TunnelServiceProcess::engineConfig(
                                                               "v", {{"slow_stop_ms", 300}})));
        client.op("start", id);
        QVERIFY(client.waitForStatus(id, 3));
        QCOMPARE(service.terminate(), 0);
        QCOMPARE(enginesRunning(service), 0);
        QVERIFY(!QFileInfo::exists(service.controlSocket()));

        // SIGKILL of the service takes its engine down with it.
        QVERIFY(service.start());
        RawControlClient second;
        QVERIFY(second.connectTo(service.controlSocket()));
        second.op("start", id);
        QVERIFY(second.waitForStatus(id, 3));
        service.kill();
        QTRY_COMPARE(enginesRunning(service), 0);
    }

    void stubbornEngineIsKilled() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id = save(client, configuration("T", TunnelServiceProcess::engineConfig(
                                                               "v", {{"ignore_sigterm", true}})));
        client.op("start", id);
        QVERIFY(client.waitForStatus(id, 3));
        client.op("stop", id);
        QCOMPARE(*client.waitForStatus(id, 1), (QList<int>{5, 1})); // after the 1.5 s grace
        QCOMPARE(enginesRunning(service), 0);
    }
};

QTEST_GUILESS_MAIN(TestTunnelService)
#include "tst_tunnelservice.moc"
