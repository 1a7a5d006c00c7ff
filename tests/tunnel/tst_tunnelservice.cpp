#include "platform/ipc/LocalXPCConnection.h"
#include "platform/netext/TunnelServiceClient.h"
#include "support/Await.h"
#include "support/TunnelFixtures.h"
#include "tunnel/SingboxTunnelsManager.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using json = nlohmann::json;
using namespace fixtures;
using namespace veloxa;
using Reachability = TunnelServiceClient::Reachability;

namespace {
int mode(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

// Run as another user by the tests below: prints what the client makes of the socket.
int probe(const QString& socketPath) {
    TunnelServiceClient client(socketPath);
    (void)QTest::qWaitFor([&] { return client.reachability() != Reachability::connecting; }, 5000);
    std::printf("%d %s\n", int(client.reachability()), qPrintable(client.lastError()));
    return 0;
}

// This test program as another user, in no group of ours (as a session that began before
// the user joined one): `--probe SOCKET` or `--look-up PATH`.
QString asUser(uid_t uid, const QStringList& arguments) {
    QProcess process;
    TunnelServiceProcess::runAsUser(process, uid);
    process.start(QCoreApplication::applicationFilePath(), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
} // namespace

// The tunnel service as a process, spoken to over its sockets; where the client looks for
// it and whom it believes there; the client's tunnel-control layer against it.
class TestTunnelService : public QObject {
    Q_OBJECT

    using Manager = SingboxTunnelsManager;
    using Added = std::expected<Manager::Container, SingboxTunnelsManagerError>;
    // The tunnel-control layer's tests: a service, and the client's connection to it.
    std::unique_ptr<TunnelServiceProcess> managed;
    std::unique_ptr<TunnelServiceClient> client;
    bool startManaged() {
        managed = std::make_unique<TunnelServiceProcess>();
        client = std::make_unique<TunnelServiceClient>(managed->controlSocket());
        return managed->start() && QTest::qWaitFor([&] { return client->isConnected(); }, 10000);
    }
    const Bundle& bundle = TunnelServiceProcess::clientBundle();

    Manager::Pointer loadManager() { return TunnelServiceProcess::loadManager(*client); }
    Manager::Container add(Manager& manager, const QString& name, const std::string& engine) {
        const auto added = awaitCallback<Added>([&](auto done) {
            manager.add({name, QString::fromStdString(engine)}, done);
        });
        return added && *added ? **added : nullptr;
    }
    std::optional<QString> start(Manager& manager, const Manager::Container& c) {
        return awaitCallback<std::optional<QString>>([&](auto done) {
                   manager.startActivation(c, done);
                   if (c->status() != TunnelStatus::Inactive)
                       [&] { QCOMPARE(c->status(), TunnelStatus::Activating); }();
               })
            .value_or(QStringLiteral("no answer"));
    }
    std::optional<SingboxRuntimeStats> stats(const Manager::Container& c) {
        return awaitCallback<std::optional<SingboxRuntimeStats>>(
                   [&](auto done) { c->getRuntimeTunnelConfiguration(done); }, 3000)
            .value_or(std::nullopt);
    }
    json stored() { return storedConfigurations(managed->controlSocket()); }

private slots:
    void cleanup() {
        client.reset();
        managed.reset();
    }

    void configurationsSurviveRestartsAndStayPrivate() {
        TunnelServiceProcess service;
        RawControlClient client;
        QVERIFY(service.start(client));
        QVERIFY(client.request({{"op", "hello"}}).value_or(json()).contains("version"));

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
        const json all = storedConfigurations(service.controlSocket());
        QCOMPARE(all.size(), 1u);
        const auto& stored = all[0];
        QCOMPARE(text(stored["localizedDescription"]), QStringLiteral("Veloxa — Russia"));
        QCOMPARE(text(stored["providerConfiguration"]["SingboxConfig"]),
                 QStringLiteral("{\"x\":1}"));
        QCOMPARE(text(stored["status"]), QStringLiteral("1"));
    }

    void unreadableFilesAreKeptAside() {
        TunnelServiceProcess service;
        QDir().mkpath(service.stateDir());
        auto write = [&](const char* name, const QByteArray& bytes) {
            QFile f(service.stateDir() + u'/' + QLatin1String(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        const QByteArray good =
            R"({"sequence":1,"configuration":{"identifier":"GOOD","localizedDescription":"g",)"
            R"("isEnabled":true,"providerBundleIdentifier":"p","serverAddress":"s",)"
            R"("providerConfiguration":{}}})";
        write("GOOD.json", good);
        write("TRUNC.json", good.left(50));
        write("WRONG.json", QByteArray(good).replace("GOOD", "OTHER")); // not its file's
        QVERIFY(service.start());
        QCOMPARE(storedConfigurations(service.controlSocket()).size(), 1u);
        const QStringList files = QDir(service.stateDir()).entryList(QDir::Files);
        QCOMPARE(files.filter(QStringLiteral("TRUNC.json.corrupt-")).size(), 1);
        QCOMPARE(files.filter(QStringLiteral("WRONG.json.corrupt-")).size(), 1);
    }

    void startStopAndEventsReachEveryClient() {
        TunnelServiceProcess service;
        RawControlClient one, two;
        QVERIFY(service.start(one) && two.connectTo(service.controlSocket()));
        const QString id = saveTunnel(one, "v0");
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
        RawControlClient client;
        QVERIFY(service.start(client));
        const QString a = connectTunnel(client, "v0");
        const QString b = saveTunnel(client, "v0");
        client.op("start", b);
        QVERIFY(client.waitForStatus(a, 1));
        QVERIFY(client.waitForStatus(b, 3));
        QCOMPARE(service.enginesRunning(), 1);
        const json all = storedConfigurations(service.controlSocket());
        QVERIFY(all[0]["status"] == 1 && all[1]["status"] == 3);
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
        RawControlClient client;
        QVERIFY(service.start(client));
        QCOMPARE(errorOf(client.op("start", saveTunnel(client, "taken", {}, enabled))), error);
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
        // Its error lines may echo the document: only its own ready line for this tunnel counts.
        QTest::newRow("built-in: other lines with \"started\" are not a start")
            << true
            << QByteArray::fromStdString(json{{"silent", true},
                                              {"say",
                                               {"peer \"address\" \"started!\" is not one",
                                                "veloxa-engine: tunnel v1 started (kernel)"}}}
                                             .dump())
            << failed << late;
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
        service.runStandIn(name);
        RawControlClient client;
        QVERIFY(service.start(client));
        behaviour.replace("{sysfs}", service.sysfs().toUtf8());
        const QString id = saveTunnel(client, "v0", json::parse(behaviour));
        client.op("start", id);
        QCOMPARE(client.waitForStatus(id, statuses.last()).value_or(QList<int>{}), statuses);
        QCOMPARE(text(client.lastStatusEvent().value("error", json(""))), error);
        if (builtIn) // after a failed start the built-in engine's ledger is replayed in full
            QCOMPARE(service.commandLines(name).last(), "cleanup --state " + service.ledger());
    }

    // An engine that keeps dying: the connection stays reasserting, with traffic held (the
    // built-in engine's ledger), however often it fails, until the user disconnects; that
    // releases everything at once, also between two attempts.
    void reassertingLastsUntilTheUserDisconnects() {
        TunnelServiceProcess service;
        service.runStandIn(QStringLiteral("veloxa-engine"));
        RawControlClient client;
        QVERIFY(service.start(client));
        const QString id = saveTunnel(client, "v2", {{"crash_after_ms", 50}});
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
        const QString cleanup = "cleanup --state " + service.ledger();
        const QString run = QStringLiteral("run -c %1/engine-config.json --state %2")
                                .arg(service.runtimeDir(), service.ledger());
        const QString resume = run + QStringLiteral(" --resume");
        QCOMPARE(service.commandLines(QStringLiteral("veloxa-engine")),
                 (QStringList{cleanup, run, resume, resume, resume, cleanup}));
    }

    // A stop that leaves the built-in engine's ledger unfinished (an engine past its grace, a
    // cleanup that stalls): the service goes on answering meanwhile, "disconnected" comes once
    // the replay was tried, and what is left is replayed again before the next run.
    void anUnfinishedCleanupIsTriedAgain() {
        TunnelServiceProcess service;
        service.runStandIn(QStringLiteral("veloxa-engine"));
        RawControlClient client;
        QVERIFY(service.start(client));
        const QString stalled = service.root() + QStringLiteral("/stalled");
        const QString id = connectTunnel(
            client, "v0", {{"ignore_sigterm", true}, {"stall_cleanup", stalled.toStdString()}});
        QVERIFY(!id.isEmpty());
        client.op("stop", id);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(stalled); }, 10000));
        QCOMPARE(client.waitForStatus(id, 1).value_or(QList<int>{}), (QList<int>{5, 1}));
        QVERIFY(QFileInfo::exists(service.ledger()));
        client.op("start", id);
        QVERIFY(client.waitForStatus(id, 3));
        const QString cleanup = "cleanup --state " + service.ledger();
        const QString run = QStringLiteral("run -c %1/engine-config.json --state %2")
                                .arg(service.runtimeDir(), service.ledger());
        QCOMPARE(service.commandLines(QStringLiteral("veloxa-engine")),
                 (QStringList{cleanup, run, cleanup, cleanup, run}));
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
        const json crashesOnce{{"counters", {100, 10}},
                               {"crash_after_ms", 300},
                               {"crash_marker", (service.root() + "/crashed").toStdString()}};
        const QString id = saveTunnel(client, "v7", crashesOnce);
        client.op("start", id); // an engine that dies while connected comes back by itself
        QCOMPARE(*client.waitForStatus(id, 4), (QList<int>{2, 3, 4}));
        QCOMPARE(*client.waitForStatus(id, 3), (QList<int>{3}));
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
        RawControlClient client;
        QVERIFY(service.start(client));
        const QString id = connectTunnel(client, "v", json::parse(behaviour));
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

    // The tunnel-control layer (the client's manager and containers) against the service.
    void keepsOnlyThisExtensionsConfigurations() {
        QVERIFY(startManaged());
        RawControlClient raw;
        QVERIFY(raw.connectTo(managed->controlSocket()));
        for (const char* name : {"first", "foreign", "second"}) {
            auto configuration = fixtures::configuration(QString::fromLatin1(name), "{}");
            if (name == std::string_view("foreign"))
                configuration["providerBundleIdentifier"] = "com.example.other";
            QVERIFY(!save(raw, configuration).isEmpty());
        }
        const auto manager = loadManager();
        QVERIFY(manager);
        QStringList names;
        for (const auto& tunnel : manager->tunnels())
            names << tunnel->tunnelProvider()->localizedDescription;
        QCOMPARE(names, (QStringList{"first", "second"}));
        QCOMPARE(manager->tunnels()[0]->status(), TunnelStatus::Inactive);
    }

    void addModifyRemove() {
        QVERIFY(startManaged());
        const auto manager = loadManager();
        QVERIFY(manager && manager->tunnels().isEmpty());
        const auto container = add(*manager, QStringLiteral("Veloxa — Germany"), "{\"de\":1}");
        QVERIFY(container);
        QCOMPARE(manager->tunnels().size(), 1);
        // Adding the same name again makes a second configuration; names are not checked.
        QVERIFY(add(*manager, QStringLiteral("Veloxa — Germany"), "{}"));
        QCOMPARE(stored().size(), 2u);

        const auto modified =
            awaitCallback<std::optional<SingboxTunnelsManagerError>>([&](auto done) {
                manager->modify(container, {QStringLiteral("Veloxa — Russia"), "{\"ru\":1}"}, done);
            });
        QVERIFY(modified && !*modified);
        const auto wanted = configuration(QStringLiteral("Veloxa — Russia"), "{\"ru\":1}");
        for (const auto& [key, value] : wanted.items()) // renamed, rewritten, still ours
            QCOMPARE(text(stored()[0][key]), text(value));
        QCOMPARE(manager->tunnels().first(), container); // same container, same place

        const auto remove = [&] {
            return awaitCallback<std::optional<QString>>(
                       [&](auto done) { manager->remove(container, done); })
                .value_or(QStringLiteral("no answer"));
        };
        QCOMPARE(remove(), std::nullopt);
        QCOMPARE(manager->tunnels().size(), 1);
        QCOMPARE(stored().size(), 1u);
        // A second removal is the service's error, passed on as it is.
        QCOMPARE(remove(), QStringLiteral("No such configuration"));
    }

    void startStatusAndStatistics() {
        QVERIFY(startManaged());
        const auto manager = loadManager();
        const auto container = add(*manager, QStringLiteral("T"), engine("veloxa3"));
        QCOMPARE(start(*manager, container), std::nullopt);
        QTRY_COMPARE(container->status(), TunnelStatus::Active);

        managed->setCounters(QStringLiteral("veloxa3"), "1536", "18446744073709551615");
        const auto counters = stats(container);
        QVERIFY(counters);
        QCOMPARE(counters->rxBytes, 1536u);
        QCOMPARE(counters->txBytes, std::numeric_limits<quint64>::max());
        XPCConnection* connection = container->xpcConnection();
        QVERIFY(connection);
        QVERIFY(stats(container));
        QCOMPARE(container->xpcConnection(), connection); // reused between polls

        container->stopActivation();
        QTRY_COMPARE(container->status(), TunnelStatus::Inactive);
        QCOMPARE(container->xpcConnection(), nullptr); // closed on the move into inactive
    }

    void disabledConfigurationIsEnabledFirst() {
        QVERIFY(startManaged());
        RawControlClient raw;
        QVERIFY(raw.connectTo(managed->controlSocket()));
        save(raw, configuration(QStringLiteral("off"), engine("v9"), false));
        const auto manager = loadManager();
        const auto container = manager->tunnels().first();
        QVERIFY(!container->tunnelProvider()->isEnabled);
        QCOMPARE(start(*manager, container), std::nullopt);
        QTRY_COMPARE(container->status(), TunnelStatus::Active);
        QVERIFY(stored()[0]["isEnabled"] == true);
    }

    void anUnsavedConfigurationCannotStart() {
        QVERIFY(startManaged());
        auto unsaved = SingboxTunnelContainer::create(
            TunnelProviderManager::create(*client), bundle, [](const QString&) { return nullptr; });
        unsaved->tunnelProvider()->isEnabled = true;
        std::optional<QString> error;
        unsaved->startActivation([&](auto e) { error = e; });
        QCOMPARE(error, QStringLiteral("Could not start tunnel session"));
        QCOMPARE(unsaved->status(), TunnelStatus::Inactive);
    }

    void serviceRestartWhileTheClientRuns() {
        QVERIFY(startManaged());
        const auto manager = loadManager();
        const auto container = add(*manager, QStringLiteral("T"), engine("veloxa4"));
        QCOMPARE(start(*manager, container), std::nullopt);
        QTRY_COMPARE(container->status(), TunnelStatus::Active);
        managed->setCounters(QStringLiteral("veloxa4"), "5", "6");
        QVERIFY(stats(container));

        managed->kill();
        QTRY_COMPARE(container->status(), TunnelStatus::Inactive);
        QTRY_VERIFY(!client->isConnected());
        // Calls made meanwhile fail with a clear error.
        const auto added = awaitCallback<Added>([&](auto done) {
            manager->add({QStringLiteral("X"), QStringLiteral("{}")}, done);
        });
        QCOMPARE(added->error(), SingboxTunnelsManagerError::systemErrorOnAddTunnel);
        QCOMPARE(start(*manager, container), TunnelServiceClient::notRunningMessage());

        QVERIFY(managed->start());
        QTRY_VERIFY_WITH_TIMEOUT(client->isConnected(), 10000);
        QCOMPARE(start(*manager, container), std::nullopt);
        QTRY_COMPARE(container->status(), TunnelStatus::Active);
        QVERIFY(stats(container)); // a new statistics connection to the new service
    }

    void statisticsRepliesThatDoNotDecode() {
        QVERIFY(startManaged());
        QTemporaryDir dir;
        QLocalServer fake;
        QVERIFY(fake.listen(
            dir.filePath(TunnelServiceProcess::appGroup() + QStringLiteral(".network-extension"))));
        QList<QByteArray> answers{"{\"rx_bytes\":0,\"tx_bytes\":0}",
                                  "null",
                                  "{\"rx_bytes\":1}",
                                  "{\"rx_bytes\":-1,\"tx_bytes\":0}",
                                  "{\"rx_bytes\":1.5,\"tx_bytes\":0}",
                                  "{\"rx_bytes\":18446744073709551616,\"tx_bytes\":0}"};
        connect(&fake, &QLocalServer::newConnection, this, [&] {
            QLocalSocket* s = fake.nextPendingConnection();
            connect(s, &QLocalSocket::readyRead, s, [s, &answers] {
                while (s->canReadLine()) {
                    s->readLine();
                    s->write(answers.takeFirst() + '\n');
                }
            });
        });
        const auto manager = loadManager();
        const auto saved = add(*manager, QStringLiteral("T"), "{}");
        const auto there = [&](const QString& name) {
            return new LocalXPCConnection(TunnelServiceLocation::at(dir.path()), name);
        };
        auto container = SingboxTunnelContainer::create(saved->tunnelProvider(), bundle, there);
        QCOMPARE(stats(container), (SingboxRuntimeStats{0, 0}));
        for (int i = 0; i < 5; ++i) // none of the others is a pair of counters
            QCOMPARE(stats(container), std::nullopt);

        // Without an app group there is no service to ask.
        auto nameless = SingboxTunnelContainer::create(saved->tunnelProvider(), Bundle(), there);
        QCOMPARE(stats(nameless), std::nullopt);
    }

    // Where the client looks for the service, and whom it believes there.
    void findsTheServiceAnewAndNeverInASharedFolder() {
        QTemporaryDir runtime;
        qunsetenv("VELOXA_TUNNEL_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        TunnelServiceClient client; // started while nothing runs
        QTRY_COMPARE(client.reachability(), Reachability::notRunning);
        QCOMPARE(client.lastError(), TunnelServiceClient::notRunningMessage());

        TunnelServiceProcess service;
        service.setRuntimeDir(runtime.filePath(QStringLiteral("veloxa")));
        QVERIFY(service.start());
        client.reconnectNow();
        QTRY_VERIFY(client.isConnected());
        QCOMPARE(client.location().runtimeDir, runtime.filePath(QStringLiteral("veloxa")));

        // No runtime folder: nowhere to look, and /tmp is never a fallback.
        qunsetenv("XDG_RUNTIME_DIR");
        const auto nowhere = TunnelServiceLocation::current();
        QVERIFY(nowhere.runtimeDir.isEmpty());
        QVERIFY(nowhere.problem.contains(QStringLiteral("XDG_RUNTIME_DIR")));
    }

    void theLargestReplyFits() {
        QTemporaryDir dir;
        QLocalServer fake;
        QVERIFY(fake.listen(dir.filePath(QStringLiteral("tunnel.sock"))));
        // Root's loadAll with every configuration at its size limit.
        nlohmann::json list = nlohmann::json::array();
        for (int i = 0; i < control::maxConfigurations; ++i)
            list.push_back({{"identifier", std::to_string(i)},
                            {"status", 1},
                            {"pad", std::string(control::maxConfigurationBytes, 'x')}});
        connect(&fake, &QLocalServer::newConnection, this, [&] {
            QLocalSocket* s = fake.nextPendingConnection();
            connect(s, &QLocalSocket::readyRead, s, [s, &list] {
                while (s->canReadLine()) {
                    const auto id = nlohmann::json::parse(s->readLine().toStdString())["id"];
                    const nlohmann::json reply{{"id", id}, {"ok", true}, {"configurations", list}};
                    s->write(QByteArray::fromStdString(reply.dump()) + '\n');
                }
            });
        });
        TunnelServiceClient client(dir.filePath(QStringLiteral("tunnel.sock")));
        const nlohmann::json loadAll{{"op", "loadAll"}};
        const auto reply = awaitCallback<TunnelServiceClient::Reply>(
            [&](auto done) { client.send(loadAll, done); }, 10000);
        QVERIFY(reply && reply->has_value());
        QCOMPARE((**reply)["configurations"].size(), std::size_t(control::maxConfigurations));
        QVERIFY(client.isConnected());
    }

    void someoneElsesServiceGetsNothing() {
        if (::geteuid() != 0)
            QSKIP("needs root to run a service as another user");
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFile::Permissions(0x7777));
        const QString path = dir.filePath(QStringLiteral("tunnel.sock"));
        // A user got there first and listens, recording what arrives.
        QProcess impostor;
        TunnelServiceProcess::runAsUser(impostor, 60003);
        impostor.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral("-c"),
                        QStringLiteral("import socket,sys,time\n"
                                       "s=socket.socket(socket.AF_UNIX);s.bind(sys.argv[1]);"
                                       "s.listen();print('up',flush=True)\n"
                                       "c,_=s.accept();c.settimeout(2)\n"
                                       "try: print(len(c.recv(65536)),flush=True)\n"
                                       "except OSError: print(0,flush=True)\n"),
                        path});
        QVERIFY(impostor.waitForReadyRead(5000));
        TunnelServiceClient client(path);
        const auto reply = awaitCallback<TunnelServiceClient::Reply>([&](auto done) {
            client.send({{"op", "save"}, {"configuration", {{"secret", "credentials"}}}}, done);
        });
        QCOMPARE(client.reachability(), Reachability::untrustedPeer);
        QVERIFY(client.lastError().contains(QStringLiteral("another user (uid 60003)")));
        QVERIFY(reply && !reply->has_value());
        QVERIFY(impostor.waitForFinished(5000));
        QCOMPARE(impostor.readAllStandardOutput().split('\n').value(1), QByteArray("0"));
    }

    void aUserOutsideTheGroupIsToldHowToJoin() {
        if (::geteuid() != 0)
            QSKIP("needs root to try as another user");
        TunnelServiceProcess service;
        service.setSystemMode(QStringLiteral("root"));
        QVERIFY(service.start());
        const QString answer = asUser(60004, {QStringLiteral("--probe"), service.controlSocket()});
        QCOMPARE(answer.section(u' ', 0, 0).toInt(), int(Reachability::accessDenied));
        QVERIFY2(answer.contains(QStringLiteral("add yourself to the veloxa group")),
                 qPrintable(answer));
    }

    // The system service's folder (0750, group veloxa) hides its socket from non-members:
    // that is no access, never "not running" with a private service looked for instead.
    void whereTheServiceIsLookedFor_data() {
        QTest::addColumn<int>("systemSocket"); // what looking its socket up gave
        QTest::addColumn<QString>("userRuntime");
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<bool>("denied");
        QTest::newRow("system service") << 0 << "/run/user/7"
                                        << "/run/veloxa" << false;
        QTest::newRow("none") << ENOENT << "/run/user/7"
                              << "/run/user/7/veloxa" << false;
        QTest::newRow("not for this user") << EACCES << "/run/user/7"
                                           << "/run/veloxa" << true;
        QTest::newRow("nowhere to look") << ENOENT << ""
                                         << "" << false;
    }
    void whereTheServiceIsLookedFor() {
        QFETCH(int, systemSocket);
        QFETCH(QString, userRuntime);
        QFETCH(QString, runtimeDir);
        QFETCH(bool, denied);
        const auto location = TunnelServiceLocation::choose({}, systemSocket, userRuntime);
        QCOMPARE(location.runtimeDir, runtimeDir);
        QCOMPARE(location.accessDenied, denied);
        if (!runtimeDir.isEmpty())
            QCOMPARE(location.trustedOwners,
                     QList<uid_t>{runtimeDir == u"/run/veloxa" ? 0 : ::getuid()});
    }
    void aFolderTheUserMayNotSearchIsNoAccess() {
        if (::geteuid() != 0)
            QSKIP("needs root to try as another user");
        QTemporaryDir closed; // 0700, root's
        QFile socket(closed.filePath(QStringLiteral("tunnel.sock")));
        QVERIFY(socket.open(QIODevice::WriteOnly));
        QCOMPARE(asUser(60004, {QStringLiteral("--look-up"), socket.fileName()}), QString("1"));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--probe")
        return probe(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--look-up") // 1: no access
        return std::printf("%d\n", TunnelServiceLocation::choose(
                                       {}, TunnelServiceLocation::lookUp(argv[2]), "/run/user/1")
                                       .accessDenied) < 0;
    TestTunnelService test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tunnelservice.moc"
