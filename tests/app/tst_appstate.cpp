#include "DevService.h"
#include "app/AppState.h"
#include "app/DeviceIdentity.h"
#include "app/ModelPreview.h"
#include "localization/Localization.h"
#include "platform/MemorySecureItemStore.h"
#include "platform/netext/TunnelServiceClient.h"
#include "support/TunnelServiceProcess.h"
#include "tunnel/SingboxTunnelsManager.h"

#include <QCoro/QCoroTask>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace veloxa;
using json = nlohmann::json;
using Region = AppState::Region;

// The application model against the real dev service and a real tunnel service.
class TestAppState : public QObject {
    Q_OBJECT

    std::unique_ptr<dev::DevService> service;
    std::unique_ptr<TunnelServiceProcess> tunnel;
    std::unique_ptr<TunnelServiceClient> client;
    std::shared_ptr<MemorySecureItemStore> items;
    const Bundle& bundle = TunnelServiceProcess::clientBundle();

    QUrl base() const { return service->baseUrl(); }

    std::unique_ptr<AppState> makeState() { return std::make_unique<AppState>(dependencies()); }
    AppState::Dependencies dependencies() {
        AppState::Dependencies deps;
        deps.secureItems = items;
        deps.serviceBaseURL = base();
        deps.ipEchoURL = QUrl(base().toString() + QStringLiteral("/ip"));
        deps.deviceName = QStringLiteral("Studio — macOS 14.5");
        return deps;
    }
    bool startTunnelService() {
        tunnel = std::make_unique<TunnelServiceProcess>();
        if (!tunnel->start())
            return false;
        client = std::make_unique<TunnelServiceClient>(tunnel->controlSocket());
        return QTest::qWaitFor([&] { return client->isConnected(); }, 5000);
    }
    SingboxTunnelsManager::Pointer loadManager() {
        return TunnelServiceProcess::loadManager(*client);
    }
    void signIn(AppState& state, const QString& email) {
        QCoro::waitFor(state.requestLoginCode(email));
        QCoro::waitFor(state.verifyLoginCode(email, service->mailbox(email).last()));
    }
    void devPost(const QString& path, const json& body) {
        QNetworkAccessManager nam;
        QNetworkRequest request(QUrl(base().toString() + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        std::unique_ptr<QNetworkReply> reply(
            nam.post(request, QByteArray::fromStdString(body.dump())));
        QTRY_VERIFY(reply->isFinished());
    }
    // The IP echo's next answer: this body, after `delayMs`.
    void echoAnswers(const char* body, int delayMs) {
        devPost(QStringLiteral("/dev/next-response"),
                {{"status", 200}, {"body", body}, {"delay_ms", delayMs}, {"path", "/ip"}});
    }
    json storedConfigurations() {
        RawControlClient raw;
        if (!raw.connectTo(tunnel->controlSocket()))
            return json::array();
        return (*raw.request({{"op", "loadAll"}}))["configurations"];
    }
    // Connects and polls until the model sees the tunnel active.
    void connectAndSettle(AppState& state) {
        state.connect();
        QTRY_COMPARE(state.tunnelsManager()->tunnels().size(), 1);
        QTRY_VERIFY((state.pollTunnel(), state.tunnelStatus() == TunnelStatus::Active));
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        Localization::shared().setLanguage(AppLanguage::en);
    }
    void init() {
        service = std::make_unique<dev::DevService>(dev::DevService::Options{.printCodes = false});
        QVERIFY(service->listen(QHostAddress::LocalHost, 0));
        items = std::make_shared<MemorySecureItemStore>();
    }
    void cleanup() {
        client.reset();
        tunnel.reset();
        service.reset();
        Localization::shared().setLanguage(AppLanguage::en);
    }

    void startsSignedOutOrRestoresTheSession() {
        auto fresh = makeState();
        QCOMPARE(fresh->isLoggedIn(), false);
        QCOMPARE(fresh->selectedRootTab(), AppState::RootTab::Vpn);
        QCOMPARE(fresh->selectedRegion(), Region::De);
        QCOMPARE(fresh->tunnelStatus(), TunnelStatus::Inactive);
        QCOMPARE(fresh->platform(), DeviceIdentity::platform());
        QVERIFY(fresh->accountRefreshTimer() && fresh->accountRefreshTimer()->isActive());
        QCOMPARE(fresh->accountRefreshTimer()->interval(), 60000);
        QCOMPARE(fresh->pollTimer(), nullptr);
        fresh->startStatusPolling();
        fresh->startStatusPolling();
        QCOMPARE(fresh->findChildren<QTimer*>().size(), 2); // one poll timer, one account timer
        QCOMPARE(fresh->pollTimer()->interval(), 1000);

        signIn(*fresh, dev::DevService::activeSeed);
        QVERIFY(fresh->isLoggedIn());
        fresh.reset();

        // The next launch is signed in before the service has answered.
        auto restored = makeState();
        QVERIFY(restored->isLoggedIn());
        QCOMPARE(restored->email(), dev::DevService::activeSeed);
        QCOMPARE(restored->subscriptionStatus(), QString());
        QCOMPARE(restored->canConnect(), false);
        QTRY_COMPARE(restored->subscriptionStatus(), QStringLiteral("active"));
        QVERIFY(restored->canConnect());
        QCOMPARE(restored->configsByRegion().keys(), (QStringList{"de", "ru"}));

        // A token without an e-mail is not a session.
        items->setItem("app_singbox.session", "state",
                       {R"({"deviceUUID":"U","token":"T"})", {}, {}});
        QVERIFY(!makeState()->isLoggedIn());
    }

    void signInStoresTheSessionAndResetsTheForm() {
        auto state = makeState();
        state->setLoginEmail(QStringLiteral("x"));
        state->setLoginStage(AppState::LoginStage::Code);
        QCoro::waitFor(state->requestLoginCode(dev::DevService::activeSeed));
        QCOMPARE(state->authErrorMessage(), std::nullopt);
        QCoro::waitFor(
            state->verifyLoginCode(dev::DevService::activeSeed, QStringLiteral("000000x")));
        QCOMPARE(state->authErrorMessage(), QStringLiteral("Invalid code"));
        QVERIFY(!state->isLoggedIn());
        // The identifier was made and stored before the request.
        const QString uuid = state->session().load()->deviceUUID;

        QCoro::waitFor(state->verifyLoginCode(
            dev::DevService::activeSeed, service->mailbox(dev::DevService::activeSeed).last()));
        QVERIFY(state->isLoggedIn());
        QCOMPARE(state->authErrorMessage(), std::nullopt);
        const auto stored = state->session().load();
        QCOMPARE(stored->deviceUUID, uuid);
        QVERIFY(stored->token && !stored->token->isEmpty());
        QCOMPARE(stored->email, dev::DevService::activeSeed);
        QCOMPARE(state->loginEmail(), QString());
        QCOMPARE(state->loginStage(), AppState::LoginStage::Email);
        QCOMPARE(state->devices().size(), 1);
        QCOMPARE(state->devices()[0].deviceUuid, uuid);
        QCOMPARE(state->devices()[0].deviceName, QStringLiteral("Studio — macOS 14.5"));
        QVERIFY(state->expiresAt());
        const auto body = QJsonDocument::fromJson(service->requests().last().body).object();
        QCOMPARE(body.value("platform").toString(), DeviceIdentity::platform());

        // Signing out keeps the identifier; the next sign-in sends the same one.
        state->signOut();
        QVERIFY(!state->isLoggedIn());
        QCOMPARE(state->session().load()->deviceUUID, uuid);
        QCOMPARE(state->session().load()->token, std::nullopt);
        QTRY_COMPARE(service->requests().last().path, QStringLiteral("/api/singbox/client/logout"));
        signIn(*state, dev::DevService::activeSeed);
        QCOMPARE(QJsonDocument::fromJson(service->requests().last().body)
                     .object()
                     .value("device_uuid")
                     .toString(),
                 uuid);

        // Failing code request: the service's message.
        QCoro::waitFor(state->requestLoginCode(QStringLiteral("not-an-address")));
        QCOMPARE(state->authErrorMessage(), QStringLiteral("Invalid email address"));
    }

    void deviceLimitAndReplacement() {
        auto state = makeState();
        const qsizetype before = service->requests().size();
        QCoro::waitFor(state->replaceDevice(QStringLiteral("X"))); // nothing pending: nothing sent
        QCOMPARE(service->requests().size(), before);

        signIn(*state, dev::DevService::fullSeed);
        QVERIFY(!state->isLoggedIn());
        QCOMPARE(state->authErrorMessage(), std::nullopt);
        QVERIFY(state->pendingDeviceLimit());
        QCOMPARE(state->pendingDeviceLimit()->maxDevices, 5);
        QCOMPARE(state->pendingDeviceLimit()->devices.size(), 5);

        QCoro::waitFor(state->replaceDevice(QStringLiteral("no-such-device")));
        QCOMPARE(state->authErrorMessage(), QStringLiteral("Device not found"));
        QVERIFY(state->pendingDeviceLimit()); // the chooser stays open

        const QString old = state->pendingDeviceLimit()->devices[1].deviceUuid;
        QCoro::waitFor(state->replaceDevice(old));
        QVERIFY(state->isLoggedIn());
        QCOMPARE(state->pendingDeviceLimit(), std::nullopt);
        QCOMPARE(state->devices().size(), 5);
        QVERIFY(std::none_of(state->devices().cbegin(), state->devices().cend(),
                             [&](const DeviceSummary& d) { return d.deviceUuid == old; }));
    }

    void revokedSessionsAndSigningOutDevices() {
        QVERIFY(startTunnelService());
        auto state = makeState();
        state->setTunnelsManager(loadManager());
        signIn(*state, dev::DevService::activeSeed);
        connectAndSettle(*state);
        QCOMPARE(storedConfigurations().size(), 1u);

        // The service drops the token: revoked message, profile removed, signed out.
        devPost(QStringLiteral("/dev/revoke"),
                {{"email", dev::DevService::activeSeed.toStdString()}});
        QCoro::waitFor(state->refreshAccount(*state->session().load()->token));
        QVERIFY(!state->isLoggedIn());
        QCOMPARE(state->sessionRevokedMessage(),
                 QStringLiteral("This device was disconnected from the account. Sign in again."));
        QTRY_COMPARE(storedConfigurations().size(), 0u);
        QCOMPARE(state->session().load()->token, std::nullopt);

        // Signing in again clears the notice; signing out another device reloads the list.
        signIn(*state, dev::DevService::activeSeed);
        QCOMPARE(state->sessionRevokedMessage(), std::nullopt);
        auto otherItems = std::make_shared<MemorySecureItemStore>();
        auto other = std::make_unique<AppState>(AppState::Dependencies{
            otherItems, base(), base(), QStringLiteral("Other — macOS 13.1")});
        signIn(*other, dev::DevService::activeSeed);
        QCoro::waitFor(state->refreshAccount(*state->session().load()->token));
        QCOMPARE(state->devices().size(), 2);
        QCoro::waitFor(state->revokeDevice(other->session().currentDeviceUUID()));
        QVERIFY(state->isLoggedIn());
        QCOMPARE(state->devices().size(), 1);

        // Signing out this device from its own list is a revoked session.
        QCoro::waitFor(state->revokeDevice(state->session().currentDeviceUUID()));
        QVERIFY(!state->isLoggedIn());
        QVERIFY(state->sessionRevokedMessage());

        // Without a token nothing is sent.
        const qsizetype before = service->requests().size();
        QCoro::waitFor(state->revokeDevice(QStringLiteral("X")));
        state->signOut();
        QTest::qWait(100);
        QCOMPARE(service->requests().size(), before);
    }

    void connectRefusalsAndTheProfile() {
        QVERIFY(startTunnelService());
        auto state = makeState();
        state->connect(); // signed out: silent
        QCOMPARE(state->vpnErrorMessage(), std::nullopt);

        signIn(*state, dev::DevService::expiredSeed);
        state->setTunnelsManager(loadManager());
        state->connect();
        QCOMPARE(state->vpnErrorMessage(),
                 QStringLiteral("Subscription inactive — connection unavailable. Check the status "
                                "in the Account tab."));
        QCOMPARE(storedConfigurations().size(), 0u);

        // Only a "de" configuration in the account: Russia is refused.
        LoginResult onlyGermany{QStringLiteral("t"),
                                QStringLiteral("a@b.c"),
                                QStringLiteral("active"),
                                std::nullopt,
                                {},
                                {DeviceConfig{QStringLiteral("de"), QStringLiteral("Germany"),
                                              QStringLiteral("{}"), QStringLiteral("de.json")}}};
        state->applyLoginResult(onlyGermany);
        state->setSelectedRegion(Region::Ru);
        Localization::shared().setLanguage(AppLanguage::es);
        state->connect();
        QCOMPARE(state->vpnErrorMessage(),
                 QStringLiteral(
                     "No hay configuración para esta región — cierra sesión y vuelve a entrar"));
        Localization::shared().setLanguage(AppLanguage::en);

        // The first connect creates "Veloxa — Germany"; a later one in ru renames it.
        signIn(*state, dev::DevService::activeSeed);
        state->setSelectedRegion(Region::De);
        connectAndSettle(*state);
        QCOMPARE(QString::fromStdString(storedConfigurations()[0]["localizedDescription"]),
                 QStringLiteral("Veloxa — Germany"));
        QCOMPARE(state->vpnErrorMessage(), std::nullopt);
        QVERIFY(state->sessionStartedAt());
        QCOMPARE(state->connectedRegionLabel(), QStringLiteral("Germany · Frankfurt"));
        QTRY_VERIFY((state->pollTunnel(), state->publicIP().has_value()));
        QCOMPARE(state->publicIP(), QStringLiteral("203.0.113.10"));
        tunnel->setCounters(QStringLiteral("veloxa-de"), "2048", "1024");
        QTRY_VERIFY((state->pollTunnel(), state->sessionRxBytes() == 2048));
        QCOMPARE(state->sessionTxBytes(), 1024u);

        state->toggleConnection(); // active: disconnects
        QTRY_VERIFY((state->pollTunnel(), state->tunnelStatus() == TunnelStatus::Inactive));
        QCOMPARE(state->sessionStartedAt(), std::nullopt);
        QCOMPARE(state->sessionRxBytes(), 0u);
        QCOMPARE(state->publicIP(), std::nullopt);
        QCOMPARE(state->connectedRegionLabel(), std::nullopt);

        state->setSelectedRegion(Region::Ru);
        connectAndSettle(*state);
        const auto stored = storedConfigurations();
        QCOMPARE(stored.size(), 1u);
        QCOMPARE(QString::fromStdString(stored[0]["localizedDescription"]),
                 QStringLiteral("Veloxa — Russia"));
        QVERIFY(QString::fromStdString(stored[0]["providerConfiguration"]["SingboxConfig"])
                    .contains(QStringLiteral("\"interface_name\":\"veloxa-ru\"")));
        QCOMPARE(state->connectedRegionLabel(), QStringLiteral("Russia · Moscow"));
    }

    void subscriptionEndingWhileConnectedDisconnectsOnce() {
        QVERIFY(startTunnelService());
        auto state = makeState();
        state->setTunnelsManager(loadManager());
        signIn(*state, dev::DevService::activeSeed);
        connectAndSettle(*state);
        const QString token = *state->session().load()->token;

        Localization::shared().setLanguage(AppLanguage::de);
        devPost(QStringLiteral("/dev/accounts"),
                {{"email", dev::DevService::activeSeed.toStdString()}, {"status", "expired"}});
        QCoro::waitFor(state->refreshAccount(token));
        QCOMPARE(state->subscriptionStatus(), QStringLiteral("expired"));
        QCOMPARE(state->vpnErrorMessage(), QStringLiteral("Abo inaktiv — VPN getrennt."));
        QTRY_VERIFY((state->pollTunnel(), state->tunnelStatus() == TunnelStatus::Inactive));

        // The next refresh with the same status leaves the tunnel and the message alone.
        state->setSelectedRegion(Region::De);
        devPost(QStringLiteral("/dev/accounts"),
                {{"email", dev::DevService::activeSeed.toStdString()}, {"status", "active"}});
        QCoro::waitFor(state->refreshAccount(token));
        connectAndSettle(*state);
        devPost(QStringLiteral("/dev/accounts"),
                {{"email", dev::DevService::activeSeed.toStdString()}, {"status", "inactive"}});
        QCoro::waitFor(state->refreshAccount(token));
        QTRY_VERIFY((state->pollTunnel(), state->tunnelStatus() == TunnelStatus::Inactive));
        state->connect(); // refused now
        QCoro::waitFor(state->refreshAccount(token));
        QTest::qWait(300);
        QCOMPARE(state->tunnelStatus(), TunnelStatus::Inactive);
        QCOMPARE(state->vpnErrorMessage(),
                 QStringLiteral(
                     "Abo inaktiv — Verbindung nicht verfügbar. Status im Tab „Konto“ prüfen."));
        Localization::shared().setLanguage(AppLanguage::en);
    }

    void adoptsATunnelThatWasAlreadyRunning() {
        QVERIFY(startTunnelService());
        RawControlClient raw;
        QVERIFY(raw.connectTo(tunnel->controlSocket()));
        const auto saved =
            raw.request({{"op", "save"},
                         {"configuration",
                          {{"localizedDescription", "Veloxa — Russia"},
                           {"isEnabled", true},
                           {"providerBundleIdentifier", "net.veloxa.client.network-extension"},
                           {"serverAddress", "Veloxa — Russia"},
                           {"providerConfiguration",
                            {{"SingboxConfig", TunnelServiceProcess::engineConfig("veloxa0")}}}}}});
        const QString id = QString::fromStdString((*saved)["configuration"]["identifier"]);
        raw.op("start", id);
        QVERIFY(raw.waitForStatus(id, 3));

        Localization::shared().setLanguage(AppLanguage::ru);
        auto state = makeState();
        state->setTunnelsManager(loadManager());
        state->refreshTunnelStatus();
        QCOMPARE(state->tunnelStatus(), TunnelStatus::Active);
        const QDateTime before = QDateTime::currentDateTimeUtc();
        state->pollTunnel();
        QCOMPARE(state->selectedRegion(), Region::Ru);
        QVERIFY(state->sessionStartedAt() && *state->sessionStartedAt() >= before.addMSecs(-5));
        QCOMPARE(state->connectedRegionLabel(), QStringLiteral("Россия"));
        Localization::shared().setLanguage(AppLanguage::en);

        // A foreign name leaves the selected region alone.
        QCOMPARE(VpnConnection::regionForTunnelName(QStringLiteral("Veloxa — Germany")),
                 Region::De);
        QCOMPARE(VpnConnection::regionForTunnelName(QStringLiteral("Veloxa — germany")),
                 std::nullopt);
        QCOMPARE(VpnConnection::regionForTunnelName(QStringLiteral("Work VPN")), std::nullopt);
    }

    void canConnectNeedsExactlyActive_data() {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("can");
        QTest::newRow("active") << "active" << true;
        for (const char* other : {"Active", "active ", " active", "expired", ""})
            QTest::newRow(other) << QString::fromLatin1(other) << false;
    }
    void canConnectNeedsExactlyActive() {
        QFETCH(QString, status);
        QFETCH(bool, can);
        auto state = makeState();
        QVERIFY(!state->canConnect());
        state->applyLoginResult(
            {QStringLiteral("t"), QStringLiteral("a@b.c"), status, std::nullopt, {}, {}});
        QCOMPARE(state->canConnect(), can);
    }

    void connectFailuresAreSaid() {
        QVERIFY(startTunnelService());
        auto state = makeState();
        state->setTunnelsManager(loadManager());
        auto account = [&](const QString& config) {
            state->applyLoginResult({QStringLiteral("t"),
                                     QStringLiteral("a@b.c"),
                                     QStringLiteral("active"),
                                     std::nullopt,
                                     {},
                                     {DeviceConfig{QStringLiteral("de"), QStringLiteral("G"),
                                                   config, QStringLiteral("de.json")}}});
        };
        const QString tooLarge(40 * 1024, u'x'); // over the service's size limit
        account(tooLarge);
        state->connect();
        QTRY_COMPARE(state->vpnErrorMessage(),
                     QStringLiteral("Unable to create the VPN configuration"));
        // The start itself is refused: the service's words are the message.
        account(QStringLiteral("{}"));
        state->connect();
        QTRY_COMPARE(state->vpnErrorMessage(),
                     QStringLiteral("The VPN configuration needs exactly one tun inbound"));
        account(tooLarge);
        state->connect();
        QTRY_COMPARE(state->vpnErrorMessage(),
                     QStringLiteral("Unable to update the VPN configuration"));
    }

    void togglingWhileActivatingConnectsAgain() {
        auto state = makeState();
        ModelPreview::apply(*state, QStringLiteral("connecting"));
        state->applyLoginResult({QStringLiteral("t"),
                                 QStringLiteral("a@b.c"),
                                 QStringLiteral("expired"),
                                 std::nullopt,
                                 {},
                                 {}});
        state->toggleConnection(); // connect, which refuses and says why; no disconnect
        QVERIFY(state->vpnErrorMessage().has_value());
    }

    void firstRefreshAfterStartUpNeverDisconnects() {
        QVERIFY(startTunnelService());
        {
            auto first = makeState();
            first->setTunnelsManager(loadManager());
            signIn(*first, dev::DevService::expiredSeed); // stores the session
            devPost(QStringLiteral("/dev/accounts"),
                    {{"email", dev::DevService::expiredSeed.toStdString()}, {"status", "active"}});
            QCoro::waitFor(first->refreshAccount(*first->session().load()->token));
            connectAndSettle(*first);
            devPost(QStringLiteral("/dev/accounts"),
                    {{"email", dev::DevService::expiredSeed.toStdString()}, {"status", "expired"}});
        }
        // A new process: the status before its first refresh is empty, not "active".
        auto restarted = makeState();
        restarted->setTunnelsManager(loadManager());
        QTRY_VERIFY((restarted->pollTunnel(), restarted->tunnelStatus() == TunnelStatus::Active));
        QTRY_COMPARE(restarted->subscriptionStatus(), QStringLiteral("expired"));
        QTest::qWait(500);
        QVERIFY((restarted->pollTunnel(), restarted->tunnelStatus() == TunnelStatus::Active));
        QCOMPARE(restarted->vpnErrorMessage(), std::nullopt);
    }

    void signingOutWhileConnectedEndsTheTunnel() {
        QVERIFY(startTunnelService());
        auto state = makeState();
        state->setTunnelsManager(loadManager());
        signIn(*state, dev::DevService::activeSeed);
        connectAndSettle(*state);
        state->signOut();
        QVERIFY(!state->isLoggedIn());
        QTRY_COMPARE(storedConfigurations().size(), 0u);
        QTRY_VERIFY((state->pollTunnel(), state->tunnelStatus() == TunnelStatus::Inactive));
    }

    void aFailedDeviceSignOutKeepsTheList() {
        auto state = makeState();
        signIn(*state, dev::DevService::activeSeed);
        const auto before = state->devices();
        devPost(QStringLiteral("/dev/next-response"), {{"status", 500},
                                                       {"body", "{\"error\":\"Try later\"}"},
                                                       {"path", "/api/singbox/client/devices/"}});
        QCoro::waitFor(state->revokeDevice(QStringLiteral("00000000-0000-4000-8000-000000000009")));
        QCOMPARE(state->devices(), before);
        QCOMPARE(state->authErrorMessage(), QStringLiteral("Try later"));
        QVERIFY(state->isLoggedIn());
    }

    void publicIPRequestsDoNotPileUp() {
        QVERIFY(startTunnelService());
        auto state = makeState();
        state->setTunnelsManager(loadManager());
        signIn(*state, dev::DevService::activeSeed);
        // The echo answers slowly; ticks meanwhile start no second request.
        echoAnswers("{\"ip\":\"198.51.100.1\"}", 1500);
        connectAndSettle(*state);
        for (int i = 0; i < 5; ++i)
            state->pollTunnel();
        auto echoRequests = [&] {
            return std::count_if(
                service->requests().cbegin(), service->requests().cend(),
                [](const auto& r) { return r.path.startsWith(QStringLiteral("/ip")); });
        };
        QTest::qWait(400); // the requests reach the service; the answer is still held back
        for (int i = 0; i < 5; ++i)
            state->pollTunnel();
        QTest::qWait(200);
        QCOMPARE(echoRequests(), 1);
        QCOMPARE(service->requests().last().path, QStringLiteral("/ip?format=json"));
        QVERIFY(!service->requests().last().headers.contains("authorization"));
        QTRY_COMPARE(state->publicIP(), QStringLiteral("198.51.100.1"));
        // An answer without a string "ip" is ignored; the next tick asks again.
        state->disconnect();
        QTRY_VERIFY((state->pollTunnel(), state->publicIP() == std::nullopt));
        echoAnswers("{\"ip\":5}", 0);
        connectAndSettle(*state);
        QTRY_COMPARE(echoRequests(), 2);
        QTest::qWait(100);
        QCOMPARE(state->publicIP(), std::nullopt);
        state->pollTunnel();
        QTRY_COMPARE(state->publicIP(), QStringLiteral("203.0.113.10"));

        // An answer asked for in an earlier session never lands in a later one, and does
        // not hold the new session's own request back.
        auto reconnect = [&] {
            state->disconnect();
            QTRY_VERIFY((state->pollTunnel(), state->publicIP() == std::nullopt));
            connectAndSettle(*state);
        };
        echoAnswers("{\"ip\":\"198.51.100.99\"}", 1200);
        reconnect(); // asks; the answer is held back
        QTest::qWait(200);
        reconnect();
        QTRY_VERIFY((state->pollTunnel(), state->publicIP().has_value()));
        QCOMPARE(state->publicIP(), QStringLiteral("203.0.113.10"));
        QTest::qWait(1500);
        QCOMPARE(state->publicIP(), QStringLiteral("203.0.113.10"));
    }

    void aStalledEchoIsAskedAgain() {
        QVERIFY(startTunnelService());
        auto deps = dependencies();
        deps.ipEchoTimeout = std::chrono::milliseconds(300);
        auto state = std::make_unique<AppState>(deps);
        state->setTunnelsManager(loadManager());
        signIn(*state, dev::DevService::activeSeed);
        echoAnswers("{\"ip\":\"198.51.100.1\"}", 5000);
        connectAndSettle(*state);
        QTest::qWait(500);
        QTRY_VERIFY_WITH_TIMEOUT((state->pollTunnel(), state->publicIP().has_value()), 3000);
        QCOMPARE(state->publicIP(), QStringLiteral("203.0.113.10"));
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "tst_appstate.moc"
