#include "support/TunnelFixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

using json = nlohmann::json;
using namespace fixtures;

namespace {
int mode(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

// The command lines a stand-in engine was given, without the documents it read.
QStringList commandLines(const TunnelServiceProcess& service, const QString& standIn) {
    return service.standInCalls(standIn).split(u'\n').filter(
        QRegularExpression(QStringLiteral("^call: ")));
}
} // namespace

// The tunnel service as a process, spoken to over its sockets.
class TestTunnelService : public QObject {
    Q_OBJECT

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
        QCOMPARE(errorOf(client.request({{"op", "save"}, {"configuration", unknown}})),
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
    }

    void startStopAndEventsReachEveryClient() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient one, two;
        QVERIFY(one.connectTo(service.controlSocket()));
        QVERIFY(two.connectTo(service.controlSocket()));
        const QString id = save(one, configuration("T", TunnelServiceProcess::engineConfig("v0")));
        QVERIFY(one.op("start", id)->value("ok", false));
        QCOMPARE(*one.waitForStatus(id, 3), (QList<int>{2, 3}));
        QCOMPARE(*two.waitForStatus(id, 3), (QList<int>{2, 3}));
        QCOMPARE(text((*one.op("load", id))["configuration"]["status"]), QStringLiteral("3"));
        QCOMPARE(service.enginesRunning(), 1);

        QVERIFY(two.op("stop", id)->value("ok", false));
        QCOMPARE(*one.waitForStatus(id, 1), (QList<int>{5, 1}));
        QCOMPARE(*two.waitForStatus(id, 1), (QList<int>{5, 1}));
        QTRY_COMPARE(service.enginesRunning(), 0);
    }

    void oneConnectionAtATime() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString a = connectTunnel(client, TunnelServiceProcess::engineConfig("v0"));
        const QString b =
            save(client, configuration("B", TunnelServiceProcess::engineConfig("v0")));
        client.op("start", b);
        QVERIFY(client.waitForStatus(a, 1));
        QVERIFY(client.waitForStatus(b, 3));
        QCOMPARE(service.enginesRunning(), 1);
        const auto all = client.request({{"op", "loadAll"}});
        QCOMPARE(text((*all)["configurations"][0]["status"]), QStringLiteral("1"));
        QCOMPARE(text((*all)["configurations"][1]["status"]), QStringLiteral("3"));
    }

    // Refused at once, before any engine runs.
    void startRefusals_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("error");
        QTest::newRow("engine missing")
            << "no-such-engine-binary run -c {config}" << true
            << "The tunnel engine \"no-such-engine-binary\" was not found on this computer";
        QTest::newRow("disabled") << QString() << false << "The VPN configuration is disabled";
        QTest::newRow("interface taken")
            << QString() << true << "The network interface \"taken\" already exists";
    }
    void startRefusals() {
        QFETCH(QString, engine);
        QFETCH(bool, enabled);
        QFETCH(QString, error);
        TunnelServiceProcess service;
        if (!engine.isEmpty())
            service.setEngine(engine);
        QDir().mkpath(service.sysfs() + QStringLiteral("/taken"));
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id =
            save(client, configuration("T", TunnelServiceProcess::engineConfig("taken"), enabled));
        QCOMPARE(errorOf(client.op("start", id)), error);
        QCOMPARE(service.enginesRunning(), 0);
    }

    // Starts that fail: the engine's reason travels with the status event; the built-in
    // engine is connected only once it says it started, and what it left is removed.
    void enginesThatFailToStart_data() {
        QTest::addColumn<bool>("builtIn");
        QTest::addColumn<QByteArray>("behaviour"); // fake-engine's options
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<QString>("error");
        const QList<int> failed{2, 1};
        const QString failure =
            QStringLiteral("FATAL fake-engine: start service: simulated failure");
        const QString late = QStringLiteral("The tunnel engine did not become ready in time");
        const QByteArray silent = R"({"silent":true,"create_dir":"{sysfs}/v0"})";
        QTest::newRow("engine fails")
            << false << QByteArray(R"({"fail_at_start":true})") << failed << failure;
        QTest::newRow("built-in fails")
            << true << QByteArray(R"({"fail_at_start":true})") << failed << failure;
        QTest::newRow("built-in: an interface is not a start") << true << silent << failed << late;
        QTest::newRow("engine: the interface is its start")
            << false << silent << QList<int>{2, 3} << QString();
    }
    void enginesThatFailToStart() {
        QFETCH(bool, builtIn);
        QFETCH(QByteArray, behaviour);
        QFETCH(QList<int>, statuses);
        QFETCH(QString, error);
        TunnelServiceProcess service({QStringLiteral("--ready-timeout"), QStringLiteral("1500")});
        const QString name = builtIn ? QStringLiteral("veloxa-engine") : QStringLiteral("engine");
        service.setEngine(service.installStandIn(name) + QStringLiteral(" run -c {config}"));
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        behaviour.replace("{sysfs}", service.sysfs().toUtf8());
        const QString id = save(client, configuration("T", TunnelServiceProcess::engineConfig(
                                                               "v0", json::parse(behaviour))));
        client.op("start", id);
        QCOMPARE(*client.waitForStatus(id, statuses.last()), statuses);
        QCOMPARE(text(client.lastStatusEvent().value("error", json(""))), error);
        if (builtIn) // after a failed start the built-in engine's ledger is replayed in full
            QCOMPARE(commandLines(service, name).last(),
                     QStringLiteral("call: cleanup --state ") + service.ledger());
    }

    // An engine that dies while connected comes back by itself.
    void aDeadEngineComesBack() {
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString marker = service.root() + QStringLiteral("/crashed");
        const QString id =
            save(client, configuration("C", TunnelServiceProcess::engineConfig(
                                                "v1", {{"crash_after_ms", 150},
                                                       {"crash_marker", marker.toStdString()}})));
        client.op("start", id);
        QCOMPARE(*client.waitForStatus(id, 4), (QList<int>{2, 3, 4}));
        QCOMPARE(*client.waitForStatus(id, 3), (QList<int>{3}));

        QProcess::execute(QStringLiteral("pkill"),
                          {QStringLiteral("-KILL"), QStringLiteral("-f"),
                           service.runtimeDir() + QStringLiteral("/engine-")});
        QCOMPARE(*client.waitForStatus(id, 3), (QList<int>{4, 3}));
    }

    // An engine that keeps dying: the connection stays reasserting, with traffic held (the
    // built-in engine's ledger), however often it fails, until the user disconnects; that
    // releases everything at once, also between two attempts.
    void reassertingLastsUntilTheUserDisconnects() {
        TunnelServiceProcess service;
        service.setEngine(service.installStandIn(QStringLiteral("veloxa-engine")) +
                          QStringLiteral(" run -c {config}"));
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id = save(client, configuration("B", TunnelServiceProcess::engineConfig(
                                                               "v2", {{"crash_after_ms", 50}})));
        client.op("start", id);
        for (int restarts = 0; restarts < 4; ++restarts) // a fourth comes 4 s after the third
            QVERIFY(client.waitForStatus(id, 4));
        QVERIFY(QFileInfo::exists(service.ledger()));
        client.op("stop", id);
        QCOMPARE(*client.waitForStatus(id, 1), (QList<int>{5, 1}));
        QVERIFY(!QFileInfo::exists(service.ledger()));
        QCOMPARE(service.enginesRunning(), 0);

        // What it ran: at the service's start and after the disconnect the ledger is
        // replayed in full; a restart resumes the connection.
        const QString cleanup = QStringLiteral("call: cleanup --state ") + service.ledger();
        const QString run = QStringLiteral("call: run -c %1/engine-config.json --state %2")
                                .arg(service.runtimeDir(), service.ledger());
        const QString resume = run + QStringLiteral(" --resume");
        QCOMPARE(commandLines(service, QStringLiteral("veloxa-engine")),
                 (QStringList{cleanup, run, resume, resume, resume, cleanup}));
    }

    // The statistics are the totals of the whole connection: the counters of every engine
    // run of it, from the interface's kernel counters; a new connection starts from zero.
    void countersCarryOnAcrossEngineRuns() {
        TunnelServiceProcess service;
        service.setEngine(QStringLiteral(VELOXA_FAKE_ENGINE_BIN " run -c {config} --sysfs ") +
                          service.sysfs());
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
        const QString marker = service.root() + QStringLiteral("/crashed");
        const json crashesOnce{{"counters", {100, 10}},
                               {"crash_after_ms", 300},
                               {"crash_marker", marker.toStdString()}};
        const QString id =
            save(client, configuration("T", TunnelServiceProcess::engineConfig("v7", crashesOnce)));
        client.op("start", id);
        QCOMPARE(*client.waitForStatus(id, 4), (QList<int>{2, 3, 4}));
        QVERIFY(client.waitForStatus(id, 3));
        QCOMPARE(ask(), QByteArray(R"({"rx_bytes":200,"tx_bytes":20})"));

        // Unreadable counters leave the totals as they were; they never wrap around.
        for (const char* unreadable : {"18446744073709551616", "-5", "", "12 34"}) {
            service.setCounters(QStringLiteral("v7"), unreadable, "42");
            QCOMPARE(ask(), QByteArray(R"({"rx_bytes":200,"tx_bytes":20})"));
        }
        service.setCounters(QStringLiteral("v7"), "18446744073709551615", "42");
        QCOMPARE(ask(), QByteArray(R"({"rx_bytes":18446744073709551615,"tx_bytes":52})"));

        stats.write("nonsense\n");
        QVERIFY(stats.waitForDisconnected(2000));
        client.op("stop", id);
        QVERIFY(client.waitForStatus(id, 1));
        QCOMPARE(ask(), QByteArray("null"));
        client.op("start", id);
        QVERIFY(client.waitForStatus(id, 3));
        QCOMPARE(ask(), QByteArray(R"({"rx_bytes":100,"tx_bytes":10})"));
    }

    // No engine outlives a stop or the service: one that ignores SIGTERM is killed after
    // the grace period; the service's own end takes its engine along, even a SIGKILL.
    void noEngineOutlivesAStop_data() {
        QTest::addColumn<QByteArray>("behaviour");
        QTest::addColumn<QString>("how");
        QTest::newRow("user stops a stubborn engine")
            << QByteArray(R"({"ignore_sigterm":true})") << "stop";
        QTest::newRow("service stopped") << QByteArray(R"({"slow_stop_ms":300})") << "terminate";
        QTest::newRow("service killed") << QByteArray("{}") << "kill";
    }
    void noEngineOutlivesAStop() {
        QFETCH(QByteArray, behaviour);
        QFETCH(QString, how);
        TunnelServiceProcess service;
        QVERIFY(service.start());
        RawControlClient client;
        QVERIFY(client.connectTo(service.controlSocket()));
        const QString id =
            connectTunnel(client, TunnelServiceProcess::engineConfig("v", json::parse(behaviour)));
        QVERIFY(!id.isEmpty());
        if (how == u"stop") {
            client.op("stop", id);
            QCOMPARE(*client.waitForStatus(id, 1), (QList<int>{5, 1})); // after the grace
        } else if (how == u"terminate") {
            QCOMPARE(service.terminate(), 0);
            QVERIFY(!QFileInfo::exists(service.controlSocket()));
        } else {
            service.kill();
        }
        QTRY_COMPARE(service.enginesRunning(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTunnelService)
#include "tst_tunnelservice.moc"
