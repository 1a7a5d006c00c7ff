#include "platform/ipc/LocalXPCConnection.h"
#include "platform/netext/TunnelServiceClient.h"
#include "support/TunnelFixtures.h"
#include "tunnel/SingboxTunnelsManager.h"

#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>

using namespace veloxa;
using json = nlohmann::json;

// The tunnel-control layer against a real tunnel service with fake-engine.
class TestTunnelsManager : public QObject {
    Q_OBJECT

    std::unique_ptr<TunnelServiceProcess> service;
    std::unique_ptr<TunnelServiceClient> client;
    const Bundle& bundle = TunnelServiceProcess::clientBundle();

    SingboxTunnelsManager::Pointer loadManager() {
        return TunnelServiceProcess::loadManager(*client);
    }
    SingboxTunnelsManager::Container add(SingboxTunnelsManager& manager, const QString& name,
                                         const std::string& engine) {
        std::optional<std::expected<SingboxTunnelsManager::Container, SingboxTunnelsManagerError>>
            result;
        manager.add({name, QString::fromStdString(engine)}, [&](auto added) { result = added; });
        (void)QTest::qWaitFor([&] { return result.has_value(); }, 5000);
        return result && *result ? **result : nullptr;
    }
    std::optional<QString> start(SingboxTunnelsManager& manager,
                                 const SingboxTunnelsManager::Container& c) {
        std::optional<std::optional<QString>> result;
        manager.startActivation(c, [&](auto error) { result = error; });
        if (c->status() != TunnelStatus::Inactive)
            [&] { QCOMPARE(c->status(), TunnelStatus::Activating); }();
        (void)QTest::qWaitFor([&] { return result.has_value(); }, 5000);
        return result.value_or(QStringLiteral("no answer"));
    }
    std::optional<SingboxRuntimeStats> stats(const SingboxTunnelsManager::Container& c) {
        std::optional<std::optional<SingboxRuntimeStats>> result;
        c->getRuntimeTunnelConfiguration([&](auto s) { result = s; });
        (void)QTest::qWaitFor([&] { return result.has_value(); }, 3000);
        return result.value_or(std::nullopt);
    }
    json storedConfigurations() {
        RawControlClient raw;
        if (!raw.connectTo(service->controlSocket()))
            return {};
        return (*raw.request({{"op", "loadAll"}}))["configurations"];
    }

private slots:
    void init() {
        service = std::make_unique<TunnelServiceProcess>();
        QVERIFY(service->start());
        client = std::make_unique<TunnelServiceClient>(service->controlSocket());
        QTRY_VERIFY(client->isConnected());
    }
    void cleanup() {
        client.reset();
        service.reset();
    }

    void keepsOnlyThisExtensionsConfigurations() {
        RawControlClient raw;
        QVERIFY(raw.connectTo(service->controlSocket()));
        for (const char* name : {"first", "foreign", "second"}) {
            auto configuration = fixtures::configuration(QString::fromLatin1(name), "{}");
            if (name == std::string_view("foreign"))
                configuration["providerBundleIdentifier"] = "com.example.other";
            QVERIFY(!fixtures::save(raw, configuration).isEmpty());
        }
        const auto manager = loadManager();
        QVERIFY(manager);
        QCOMPARE(manager->tunnels().size(), 2);
        QCOMPARE(manager->tunnels()[0]->tunnelProvider()->localizedDescription,
                 QStringLiteral("first"));
        QCOMPARE(manager->tunnels()[1]->tunnelProvider()->localizedDescription,
                 QStringLiteral("second"));
        QCOMPARE(manager->tunnels()[0]->status(), TunnelStatus::Inactive);
    }

    void addModifyRemove() {
        const auto manager = loadManager();
        QVERIFY(manager && manager->tunnels().isEmpty());
        const auto container = add(*manager, QStringLiteral("Veloxa — Germany"), "{\"de\":1}");
        QVERIFY(container);
        QCOMPARE(manager->tunnels().size(), 1);
        // Adding the same name again makes a second configuration; names are not checked.
        QVERIFY(add(*manager, QStringLiteral("Veloxa — Germany"), "{}"));
        QCOMPARE(storedConfigurations().size(), 2u);

        std::optional<std::optional<SingboxTunnelsManagerError>> modified;
        manager->modify(container,
                        {QStringLiteral("Veloxa — Russia"), QStringLiteral("{\"ru\":1}")},
                        [&](auto error) { modified = error; });
        QTRY_VERIFY(modified.has_value());
        QCOMPARE(*modified, std::nullopt);
        const auto stored = storedConfigurations()[0];
        const auto wanted =
            fixtures::configuration(QStringLiteral("Veloxa — Russia"), "{\"ru\":1}");
        for (const auto& [key, value] : wanted.items()) // renamed, rewritten, still ours
            QCOMPARE(fixtures::text(stored[key]), fixtures::text(value));
        QCOMPARE(manager->tunnels().first(), container); // same container, same place

        std::optional<std::optional<QString>> removed;
        manager->remove(container, [&](auto error) { removed = error; });
        QTRY_VERIFY(removed.has_value());
        QCOMPARE(*removed, std::nullopt);
        QCOMPARE(manager->tunnels().size(), 1);
        QCOMPARE(storedConfigurations().size(), 1u);
        // A second removal is the service's error, passed on as it is.
        removed.reset();
        manager->remove(container, [&](auto error) { removed = error; });
        QTRY_VERIFY(removed.has_value());
        QCOMPARE(*removed, QStringLiteral("No such configuration"));
    }

    void startStatusAndStatistics() {
        const auto manager = loadManager();
        const auto container =
            add(*manager, QStringLiteral("T"), TunnelServiceProcess::engineConfig("veloxa3"));
        QCOMPARE(start(*manager, container), std::nullopt);
        QTRY_COMPARE(container->status(), TunnelStatus::Active);

        service->setCounters(QStringLiteral("veloxa3"), "1536", "18446744073709551615");
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
        RawControlClient raw;
        QVERIFY(raw.connectTo(service->controlSocket()));
        fixtures::save(raw,
                       fixtures::configuration(QStringLiteral("off"),
                                               TunnelServiceProcess::engineConfig("v9"), false));
        const auto manager = loadManager();
        const auto container = manager->tunnels().first();
        QVERIFY(!container->tunnelProvider()->isEnabled);
        QCOMPARE(start(*manager, container), std::nullopt);
        QTRY_COMPARE(container->status(), TunnelStatus::Active);
        QVERIFY(storedConfigurations()[0]["isEnabled"] == true);
    }

    void anUnsavedConfigurationCannotStart() {
        auto unsaved = SingboxTunnelContainer::create(
            TunnelProviderManager::create(*client), bundle, [](const QString&) { return nullptr; });
        unsaved->tunnelProvider()->isEnabled = true;
        std::optional<QString> error;
        unsaved->startActivation([&](auto e) { error = e; });
        QCOMPARE(error, QStringLiteral("Could not start tunnel session"));
        QCOMPARE(unsaved->status(), TunnelStatus::Inactive);
    }

    void serviceRestartWhileTheClientRuns() {
        const auto manager = loadManager();
        const auto container =
            add(*manager, QStringLiteral("T"), TunnelServiceProcess::engineConfig("veloxa4"));
        QCOMPARE(start(*manager, container), std::nullopt);
        QTRY_COMPARE(container->status(), TunnelStatus::Active);
        service->setCounters(QStringLiteral("veloxa4"), "5", "6");
        QVERIFY(stats(container));

        service->kill();
        QTRY_COMPARE(container->status(), TunnelStatus::Inactive);
        QTRY_VERIFY(!client->isConnected());
        // Calls made meanwhile fail with a clear error.
        std::optional<std::expected<SingboxTunnelsManager::Container, SingboxTunnelsManagerError>>
            added;
        manager->add({QStringLiteral("X"), QStringLiteral("{}")}, [&](auto a) { added = a; });
        QTRY_VERIFY(added.has_value());
        QCOMPARE(added->error(), SingboxTunnelsManagerError::systemErrorOnAddTunnel);
        QCOMPARE(start(*manager, container), TunnelServiceClient::notRunningMessage());

        QVERIFY(service->start());
        QTRY_VERIFY_WITH_TIMEOUT(client->isConnected(), 10000);
        QCOMPARE(start(*manager, container), std::nullopt);
        QTRY_COMPARE(container->status(), TunnelStatus::Active);
        QVERIFY(stats(container)); // a new statistics connection to the new service
    }

    void statisticsRepliesThatDoNotDecode() {
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
};

QTEST_GUILESS_MAIN(TestTunnelsManager)
#include "tst_tunnelsmanager.moc"
