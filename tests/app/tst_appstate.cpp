#include "app/AppState.h"
#include "app/DeviceIdentity.h"
#include "app/PublicIPLookup.h"
#include "app/SignInForm.h"
#include "localization/Localization.h"
#include "platform/MemorySecureItemStore.h"
#include "platform/netext/TunnelServiceClient.h"
#include "support/DevServiceFixture.h"
#include "support/TunnelFixtures.h"
#include "tunnel/SingboxTunnelsManager.h"

#include <QCoro/QCoroTask>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

using namespace veloxa;
using json = nlohmann::json;
using Region = AppState::Region;
using Stage = SignInFlow::LoginStage;

namespace {
// A sign-in answer with one German configuration.
LoginResult account(const QString& status, const std::string& config = "{}") {
    return {QStringLiteral("t"),
            QStringLiteral("a@b.c"),
            status,
            std::nullopt,
            {},
            {DeviceConfig{QStringLiteral("de"), QStringLiteral("Germany · Frankfurt"),
                          QString::fromStdString(config), QStringLiteral("de.json")}}};
}
std::string engine(const json& fakeEngine = {}) {
    return fixtures::engine(QStringLiteral("veloxa-de"), fakeEngine);
}
const QString mePath = QStringLiteral("/api/singbox/client/me");
const char* expiredAnswer = R"({"email":"a@b.c","status":"expired","devices":[],"configs":[]})";
} // namespace

// The application model against the real dev service and a real tunnel service.
class TestAppState : public QObject {
    Q_OBJECT

    std::optional<DevServiceFixture> backend;
    std::unique_ptr<TunnelServiceProcess> tunnel;
    std::unique_ptr<TunnelServiceClient> client;
    std::shared_ptr<MemorySecureItemStore> items;

    const QList<dev::DevService::RecordedRequest>& requests() {
        return backend->service.requests();
    }
    std::unique_ptr<AppState> makeState() {
        return std::make_unique<AppState>(
            AppState::Dependencies{items, backend->url(), backend->url(QStringLiteral("/ip")),
                                   QStringLiteral("Studio — macOS 14.5")});
    }
    // A tunnel service, and a model in `state` whose tunnels manager is its.
    std::unique_ptr<AppState> state;
    bool connectable(const QStringList& serviceArguments = {}) {
        tunnel = std::make_unique<TunnelServiceProcess>(serviceArguments);
        client = std::make_unique<TunnelServiceClient>(tunnel->controlSocket());
        if (!tunnel->start() || !QTest::qWaitFor([&] { return client->isConnected(); }, 10000))
            return false;
        state = makeState();
        state->setTunnelsManager(TunnelServiceProcess::loadManager(*client));
        return true;
    }
    void signIn(AppState& state, const QString& email) {
        QCoro::waitFor(state.requestLoginCode(email));
        QCoro::waitFor(state.verifyLoginCode(email, backend->service.mailbox(email).last()));
    }
    static void refresh(AppState& state) {
        QCoro::waitFor(state.refreshAccount(*state.session().load()->token));
    }
    json storedConfigurations() { return fixtures::storedConfigurations(tunnel->controlSocket()); }
    // Polls until the model reads `status`.
    static bool polledTo(AppState& state, TunnelStatus status) {
        return QTest::qWaitFor([&] { return state.pollTunnel(), state.tunnelStatus() == status; },
                               10000);
    }
    void connectAndSettle(AppState& state) {
        state.connect();
        QVERIFY(polledTo(state, TunnelStatus::Active));
    }

    // The sign-in form's tests: a model's sign-in part with the form's side of it.
    std::unique_ptr<AppState> formModel;
    std::unique_ptr<SignInForm> form;
    SignInFlow& signInForm() {
        formModel = makeState();
        form = std::make_unique<SignInForm>(formModel->signInFlow());
        return formModel->signInFlow();
    }
    qsizetype requestCount(const char* step) {
        return backend->requestsTo(QStringLiteral("/api/singbox/client/otp/") +
                                   QLatin1String(step));
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        Localization::shared().setLanguage(AppLanguage::en);
    }
    void init() {
        QVERIFY(backend.emplace().listen());
        items = std::make_shared<MemorySecureItemStore>();
    }
    void cleanup() {
        state.reset();
        form.reset();
        formModel.reset();
        client.reset();
        tunnel.reset();
        backend.reset();
        Localization::shared().setLanguage(AppLanguage::en);
    }

    void restoresTheSession() {
        auto first = makeState();
        first->startStatusPolling();
        first->startStatusPolling();
        QCOMPARE(first->findChildren<QTimer*>().size(), 2); // one poll timer, one account timer
        signIn(*first, dev::DevService::activeSeed);
        first.reset();

        // The next launch is signed in before the service has answered.
        auto restored = makeState();
        QVERIFY(restored->isLoggedIn());
        QCOMPARE(restored->email(), dev::DevService::activeSeed);
        QVERIFY(!restored->canConnect()); // no subscription status before the answer
        QTRY_VERIFY(restored->canConnect());
        QCOMPARE(restored->configsByRegion().keys(), (QStringList{"de", "ru"}));

        // A token without an e-mail is not a session.
        items->setItem("app_singbox.session", "state",
                       {R"({"deviceUUID":"U","token":"T"})", {}, {}});
        QVERIFY(!makeState()->isLoggedIn());
    }

    void signInStoresTheSessionAndSignOutClearsIt() {
        state = makeState();
        const QString email = dev::DevService::activeSeed;
        QCoro::waitFor(state->requestLoginCode(email));
        QCOMPARE(state->authErrorMessage(), std::nullopt);
        QCoro::waitFor(state->verifyLoginCode(email, QStringLiteral("000000x")));
        QCOMPARE(state->authErrorMessage(), QStringLiteral("Invalid code"));
        // The identifier was made and stored before the request.
        const QString uuid = state->session().load()->deviceUUID;

        state->setLoginStage(AppState::LoginStage::Code);
        QCoro::waitFor(state->verifyLoginCode(email, backend->service.mailbox(email).last()));
        QVERIFY(state->isLoggedIn());
        const auto stored = state->session().load();
        QCOMPARE(stored->deviceUUID, uuid);
        QVERIFY(stored->token && !stored->token->isEmpty());
        QCOMPARE(stored->email, email);
        QCOMPARE(state->loginStage(), AppState::LoginStage::Email);
        QCOMPARE(state->devices().size(), 1);
        QCOMPARE(state->devices()[0].deviceName, QStringLiteral("Studio — macOS 14.5"));
        QVERIFY(state->expiresAt());

        // Signing out keeps the identifier, and empties the form last.
        state->setLoginEmail(QStringLiteral("typed"));
        QStringList order;
        {
            QObject watch;
            connect(state.get(), &AppState::isLoggedInChanged, &watch, [&] { order << "account"; });
            connect(state.get(), &AppState::loginEmailChanged, &watch,
                    [&] { order << (state->session().load()->token ? "form first" : "form"); });
            state->signOut();
        }
        QCOMPARE(order, (QStringList{"account", "form"}));
        QCOMPARE(state->session().load()->deviceUUID, uuid);
        QTRY_COMPARE(requests().last().path, QStringLiteral("/api/singbox/client/logout"));
        signIn(*state, email);
        const auto body = QJsonDocument::fromJson(requests().last().body).object();
        QCOMPARE(body.value("device_uuid").toString(), uuid);
    }

    void deviceLimitAndReplacement() {
        state = makeState();
        const qsizetype before = requests().size();
        QCoro::waitFor(state->replaceDevice(QStringLiteral("X"))); // nothing pending: nothing sent
        QCOMPARE(requests().size(), before);

        signIn(*state, dev::DevService::fullSeed);
        QVERIFY(!state->isLoggedIn());
        QCOMPARE(state->authErrorMessage(), std::nullopt);
        QCOMPARE(state->pendingDeviceLimit()->devices.size(), 5);

        QCoro::waitFor(state->replaceDevice(QStringLiteral("no-such-device")));
        QCOMPARE(state->authErrorMessage(), QStringLiteral("Device not found"));
        QVERIFY(state->pendingDeviceLimit()); // the chooser stays open

        const DeviceLimitResult limit = *state->pendingDeviceLimit();
        const QString old = limit.devices[1].deviceUuid;
        QCoro::waitFor(state->replaceDevice(old));
        QCOMPARE(QJsonDocument::fromJson(requests().last().body).object(),
                 (QJsonObject{{"replace_token", limit.replaceToken}, {"old_device_uuid", old}}));
        QVERIFY(state->isLoggedIn());
        QCOMPARE(state->pendingDeviceLimit(), std::nullopt);
        QVERIFY(std::none_of(state->devices().cbegin(), state->devices().cend(),
                             [&](const DeviceSummary& d) { return d.deviceUuid == old; }));
    }

    void revokedSessionsAndSigningOutDevices() {
        QVERIFY(connectable());
        signIn(*state, dev::DevService::activeSeed);
        connectAndSettle(*state);

        // The service drops the token: revoked message, profile removed, signed out.
        QCOMPARE(backend->request(QStringLiteral("/dev/revoke"),
                                  {{"email", dev::DevService::activeSeed.toStdString()}}),
                 200);
        refresh(*state);
        QVERIFY(!state->isLoggedIn());
        QCOMPARE(state->sessionRevokedMessage(),
                 QStringLiteral("This device was disconnected from the account. Sign in again."));
        QTRY_COMPARE(storedConfigurations().size(), 0u);
        QCOMPARE(state->session().load()->token, std::nullopt);

        // Signing in again clears the notice; signing out another device reloads the list.
        signIn(*state, dev::DevService::activeSeed);
        QCOMPARE(state->sessionRevokedMessage(), std::nullopt);
        auto other = std::make_unique<AppState>(
            AppState::Dependencies{std::make_shared<MemorySecureItemStore>(),
                                   backend->url(),
                                   {},
                                   QStringLiteral("Other")});
        signIn(*other, dev::DevService::activeSeed);
        refresh(*state);
        QCOMPARE(state->devices().size(), 2);
        QCoro::waitFor(state->revokeDevice(other->session().currentDeviceUUID()));
        QVERIFY(state->isLoggedIn());
        QCOMPARE(state->devices().size(), 1);

        // Signing out this device from its own list is a revoked session.
        QCoro::waitFor(state->revokeDevice(state->session().currentDeviceUUID()));
        QVERIFY(!state->isLoggedIn());
        QVERIFY(state->sessionRevokedMessage());

        // Without a token nothing is sent.
        const qsizetype before = requests().size();
        QCoro::waitFor(state->revokeDevice(QStringLiteral("X")));
        state->signOut();
        QTest::qWait(100);
        QCOMPARE(requests().size(), before);
    }

    // A signed-in user's failed requests change nothing of the account; a failed device
    // sign-out says why.
    void failuresKeepTheUserSignedIn_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error");
        const QString devices = QStringLiteral("/api/singbox/client/devices/");
        const QByteArray later = R"({"error":"Try later"})";
        QTest::newRow("refresh: server error") << mePath << 500 << later << QString();
        QTest::newRow("refresh: undecodable") << mePath << 200 << QByteArray("{}") << QString();
        QTest::newRow("device sign-out") << devices << 500 << later << "Try later";
    }
    void failuresKeepTheUserSignedIn() {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        state = makeState();
        signIn(*state, dev::DevService::activeSeed);
        const auto devices = state->devices();
        QVERIFY(backend->script(path, status, body));
        if (path == mePath)
            refresh(*state);
        else
            QCoro::waitFor(
                state->revokeDevice(QStringLiteral("00000000-0000-4000-8000-000000000009")));
        QVERIFY(state->isLoggedIn());
        QCOMPARE(state->subscriptionStatus(), QStringLiteral("active"));
        QCOMPARE(state->devices(), devices);
        QCOMPARE(state->authErrorMessage().value_or(QString()), error);
        QCOMPARE(state->sessionRevokedMessage(), std::nullopt);
    }

    void destroyedWhileARequestIsInFlight_data() {
        QTest::addColumn<QString>("request");
        for (const char* request :
             {"/api/singbox/client/otp/verify", "/api/singbox/client/me", "/ip"})
            QTest::newRow(request) << QString::fromLatin1(request);
    }
    void destroyedWhileARequestIsInFlight() {
        QFETCH(QString, request);
        const bool echo = request == u"/ip";
        if (!echo)
            state = makeState();
        QVERIFY(!echo || connectable());
        QVERIFY(
            backend->script(request, 200, echo ? R"({"ip":"198.51.100.7"})" : expiredAnswer, 800));
        std::optional<QCoro::Task<>> pending;
        if (echo) {
            state->applyLoginResult(account(QStringLiteral("active"), engine()));
            connectAndSettle(*state); // the session's first poll asks the echo
        } else if (request.endsWith(u"verify")) {
            pending = state->verifyLoginCode(QStringLiteral("a@b.c"), QStringLiteral("123456"));
        } else {
            pending = state->refreshAccount(QStringLiteral("t"));
        }
        QTRY_COMPARE(backend->requestsTo(request), 1);
        state.reset();
        QVERIFY(!pending || pending->isReady()); // ended with the model, nothing left waiting
        QTest::qWait(1000);                      // the held-back answer reaches nobody
    }

    void connectRefusalsAndTheProfile() {
        QVERIFY(connectable());
        state->connect(); // signed out: silent
        QCOMPARE(state->vpnErrorMessage(), std::nullopt);

        signIn(*state, dev::DevService::expiredSeed);
        state->connect();
        QCOMPARE(state->vpnErrorMessage(),
                 QStringLiteral("Subscription inactive — connection unavailable. Check the status "
                                "in the Account tab."));
        QCOMPARE(storedConfigurations().size(), 0u);

        // Only a "de" configuration in the account: Russia is refused.
        state->applyLoginResult(account(QStringLiteral("active")));
        state->setSelectedRegion(Region::Ru);
        Localization::shared().setLanguage(AppLanguage::es);
        state->connect();
        QCOMPARE(state->vpnErrorMessage(),
                 QStringLiteral(
                     "No hay configuración para esta región — cierra sesión y vuelve a entrar"));
        Localization::shared().setLanguage(AppLanguage::en);

        // The first connect creates "Veloxa — Germany" (once, however often it is asked
        // for before the profile is saved); a later one in ru renames it.
        signIn(*state, dev::DevService::activeSeed);
        state->setSelectedRegion(Region::De);
        state->connect();
        connectAndSettle(*state);
        QCOMPARE(fixtures::text(storedConfigurations()[0]["localizedDescription"]),
                 QStringLiteral("Veloxa — Germany"));
        QCOMPARE(state->vpnErrorMessage(), std::nullopt);
        QCOMPARE(state->connectedRegionLabel(), QStringLiteral("Germany · Frankfurt"));
        tunnel->setCounters(QStringLiteral("veloxa-de"), "2048", "1024");
        QTRY_VERIFY((state->pollTunnel(), state->publicIP() && state->sessionTxBytes() == 1024));

        state->toggleConnection(); // active: disconnects
        QVERIFY(polledTo(*state, TunnelStatus::Inactive));
        QTest::qWait(300); // counters asked for while it stopped arrive after the end
        QCOMPARE(state->sessionStartedAt(), std::nullopt);
        QCOMPARE(state->sessionRxBytes(), 0u);
        QCOMPARE(state->publicIP(), std::nullopt);
        QCOMPARE(state->connectedRegionLabel(), std::nullopt);

        state->setSelectedRegion(Region::Ru);
        connectAndSettle(*state);
        const auto stored = storedConfigurations();
        QCOMPARE(stored.size(), 1u);
        QCOMPARE(fixtures::text(stored[0]["localizedDescription"]),
                 QStringLiteral("Veloxa — Russia"));
        QVERIFY(fixtures::text(stored[0]["providerConfiguration"]["SingboxConfig"])
                    .contains(QStringLiteral("\"interface_name\":\"veloxa-ru\"")));
        QCOMPARE(state->connectedRegionLabel(), QStringLiteral("Russia · Moscow"));
    }

    void failedConnectsSayWhyAndEndTheSession_data() {
        QTest::addColumn<QStringList>("serviceArguments");
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("message");
        QTest::newRow("the engine's own words")
            << QStringList() << QString::fromStdString(engine({{"fail_at_start", true}}))
            << "FATAL fake-engine: start service: simulated failure";
        QTest::newRow("the service's words")
            << QStringList{"--engine", "/nonexistent/engine run -c {config}"}
            << QString::fromStdString(engine())
            << "The tunnel engine \"/nonexistent/engine\" was not found on this computer";
        QTest::newRow("the profile refused") << QStringList() << QString(40 * 1024, u'x')
                                             << "Unable to create the VPN configuration";
    }
    void failedConnectsSayWhyAndEndTheSession() {
        QFETCH(QStringList, serviceArguments);
        QFETCH(QString, config);
        QFETCH(QString, message);
        QVERIFY(connectable(serviceArguments));
        state->applyLoginResult(account(QStringLiteral("active"), config.toStdString()));
        state->connect();
        QTRY_COMPARE((state->pollTunnel(), state->vpnErrorMessage().value_or(QString())), message);
        QCOMPARE(state->sessionStartedAt(), std::nullopt); // no clock counting on
        QCOMPARE(state->connectedRegionLabel(), std::nullopt);
    }

    void serviceMessagesInTheInterfaceLanguage_data() {
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("shown"); // our texts go through translation: <…>
        const QString missing = "The tunnel engine \"sing-box\" was not found on this computer";
        const QString fatal = "FATAL[0000] start service: bind: in use";
        const QString crashed = "The tunnel engine crashed";
        QTest::newRow("fixed") << crashed << u'<' + crashed + u'>';
        QTest::newRow("with a part filled in") << missing << u'<' + missing + u'>';
        QTest::newRow("an engine's own line") << fatal << fatal;
        QTest::newRow("ours, but more") << crashed + " twice" << crashed + " twice";
    }
    void serviceMessagesInTheInterfaceLanguage() {
        QFETCH(QString, said);
        QFETCH(QString, shown);
        QCOMPARE(Localization::serviceMessage(
                     said, [](const char* s) { return u'<' + QString::fromUtf8(s) + u'>'; }),
                 shown);
    }

    void reconnectingKeepsTheSession() {
        QVERIFY(connectable());
        // Every status change is seen, as the 1 s poll would see a slower one.
        connect(client.get(), &TunnelSystem::statusDidChange, state.get(),
                [&] { state->pollTunnel(); });
        state->applyLoginResult(account(QStringLiteral("active"), engine()));
        connectAndSettle(*state);
        tunnel->setCounters(QStringLiteral("veloxa-de"), "2048", "1024");
        QTRY_VERIFY((state->pollTunnel(), state->publicIP() && state->sessionRxBytes() == 2048));
        const auto shown = [&] {
            return QStringList{state->sessionStartedAt()->toString(Qt::ISODateWithMs),
                               state->publicIP().value_or(QString()),
                               state->connectedRegionLabel().value_or(QString()),
                               QVariant::fromValue(state->selectedRegion()).toString(),
                               state->receivedText()};
        };
        const QStringList before = shown();
        const qsizetype echoes = backend->requestsTo(QStringLiteral("/ip"));
        QSignalSpy lost(&state->connection(), &VpnConnection::connectionLost);
        QSignalSpy restored(&state->connection(), &VpnConnection::connectionRestored);
        QStringList whileReconnecting;
        connect(&state->connection(), &VpnConnection::connectionLost, this, [&] {
            state->setSelectedRegion(Region::Ru); // ignored: the German tunnel is coming back
            whileReconnecting = shown();
        });

        // The engine dies as in a crash; the service brings it back.
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(tunnel->pid()));
        QVERIFY(children.open(QIODevice::ReadOnly));
        QCOMPARE(::kill(children.readAll().trimmed().split(' ').first().toInt(), SIGKILL), 0);
        QTRY_COMPARE_WITH_TIMEOUT(restored.size(), 1, 10000);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(whileReconnecting, before);
        QCOMPARE(shown().mid(0, 4), before.mid(0, 4)); // the same session, no new start
        QVERIFY(state->sessionRxBytes() >= 2048);
        QCOMPARE(backend->requestsTo(QStringLiteral("/ip")), echoes); // the address is known
    }

    void toggleAndRegionWhileTheTunnelMoves_data() {
        QTest::addColumn<TunnelStatus>("status");
        QTest::addColumn<bool>("connects"); // else disconnects
        QTest::newRow("inactive") << TunnelStatus::Inactive << true;
        QTest::newRow("activating") << TunnelStatus::Activating << true;
        QTest::newRow("active") << TunnelStatus::Active << false;
        QTest::newRow("reconnecting") << TunnelStatus::Reasserting << false;
    }
    void toggleAndRegionWhileTheTunnelMoves() {
        QFETCH(TunnelStatus, status);
        QFETCH(bool, connects);
        state = makeState();
        state->applyLoginResult(account(QStringLiteral("expired")));
        state->connection().setTunnelStatus(status);
        state->toggleConnection(); // a connect here refuses and says why
        QCOMPARE(state->vpnErrorMessage().has_value(), connects);
        state->setSelectedRegion(Region::Ru); // the tunnel coming back keeps its region
        QCOMPARE(state->selectedRegion() == Region::Ru, status != TunnelStatus::Reasserting);
    }

    void whatStopsATunnelThatIsUp_data() {
        QTest::addColumn<int>("readyDelayMs");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("message"); // empty: the tunnel stays up
        const QString lapsed = QStringLiteral("Abo inaktiv — VPN getrennt.");
        QTest::newRow("lapse while connected") << 50 << "refresh" << lapsed;
        QTest::newRow("lapse while activating") << 60000 << "refresh" << lapsed;
        QTest::newRow("sign-out while activating") << 60000 << "sign-out" << QString();
        QTest::newRow("sign-in answer while connected") << 50 << "sign-in" << QString();
    }
    void whatStopsATunnelThatIsUp() {
        QFETCH(int, readyDelayMs);
        QFETCH(QString, event);
        QFETCH(QString, message);
        QVERIFY(connectable());
        Localization::shared().setLanguage(AppLanguage::de);
        state->applyLoginResult(
            account(QStringLiteral("active"), engine({{"ready_delay_ms", readyDelayMs}})));
        state->connect();
        const TunnelStatus up =
            readyDelayMs > 1000 ? TunnelStatus::Activating : TunnelStatus::Active;
        QVERIFY(polledTo(*state, up));
        if (event == u"refresh") {
            QVERIFY(backend->script(mePath, 200, expiredAnswer));
            QCoro::waitFor(state->refreshAccount(QStringLiteral("t")));
        } else if (event == u"sign-out") {
            state->signOut();
        } else { // a sign-in never touches the tunnel, whatever the status it brings
            state->applyLoginResult(account(QStringLiteral("expired")));
        }
        QCOMPARE(state->vpnErrorMessage().value_or(QString()), message);
        const bool stops = event != u"sign-in";
        if (stops)
            QVERIFY(polledTo(*state, TunnelStatus::Inactive));
        QTest::qWait(300);
        QCOMPARE((state->pollTunnel(), state->tunnelStatus()), stops ? TunnelStatus::Inactive : up);
    }

    void theNextLaunchAdoptsARunningTunnel() {
        QVERIFY(connectable());
        const QString accounts = QStringLiteral("/dev/accounts");
        const std::string email = dev::DevService::expiredSeed.toStdString();
        signIn(*state, dev::DevService::expiredSeed); // stores the session
        QCOMPARE(backend->request(accounts, {{"email", email}, {"status", "active"}}), 200);
        refresh(*state);
        state->setSelectedRegion(Region::Ru);
        connectAndSettle(*state);
        QCOMPARE(backend->request(accounts, {{"email", email}, {"status", "expired"}}), 200);
        state.reset(); // the client quits, the tunnel stays up
        // Before the account has loaded: the region and its name from the running profile,
        // the start time from the first poll.
        Localization::shared().setLanguage(AppLanguage::ru);
        auto restarted = makeState();
        restarted->setTunnelsManager(TunnelServiceProcess::loadManager(*client));
        const QDateTime before = QDateTime::currentDateTimeUtc();
        QVERIFY(polledTo(*restarted, TunnelStatus::Active));
        QCOMPARE(restarted->selectedRegion(), Region::Ru);
        QVERIFY(*restarted->sessionStartedAt() >= before.addMSecs(-5));
        QCOMPARE(restarted->connectedRegionLabel(), QStringLiteral("Россия"));
        // Its first refresh never disconnects: the status before it is empty, not "active".
        QTRY_COMPARE(restarted->subscriptionStatus(), QStringLiteral("expired"));
        QTest::qWait(500);
        QVERIFY((restarted->pollTunnel(), restarted->tunnelStatus() == TunnelStatus::Active));
        QCOMPARE(restarted->vpnErrorMessage(), std::nullopt);
        // A foreign or misspelt profile name leaves the selected region alone.
        QCOMPARE(VpnConnection::regionForTunnelName(QStringLiteral("Veloxa — russia")),
                 std::nullopt);
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
        state = makeState();
        QVERIFY(!state->canConnect());
        state->applyLoginResult(account(status));
        QCOMPARE(state->canConnect(), can);
    }

    void publicAddressQuestions() {
        const QString ip = QStringLiteral("/ip");
        PublicIPLookup echo(backend->url(ip), std::chrono::milliseconds(1000));
        QSignalSpy found(&echo, &PublicIPLookup::found);
        const auto asked = [&](int count) {
            return QTest::qWaitFor([&] { return backend->requestsTo(ip) == count; });
        };
        QVERIFY(backend->script(ip, 200, R"({"ip":"198.51.100.1"})", 300));
        echo.fetchPublicIP();
        echo.fetchPublicIP(); // one question at a time
        QTRY_COMPARE(found.size(), 1);
        QCOMPARE(found[0][0].toString(), QStringLiteral("198.51.100.1"));
        QCOMPARE(requests().last().path, QStringLiteral("/ip?format=json"));
        QVERIFY(!requests().last().headers.contains("authorization"));
        QVERIFY(asked(1));

        // An answer without a string "ip" says nothing; one asked in an earlier session is
        // dropped and holds the new session's question back no longer than its time-out.
        QVERIFY(backend->script(ip, 200, R"({"ip":5})"));
        echo.fetchPublicIP();
        QVERIFY(asked(2));
        QTest::qWait(200);
        QCOMPARE(found.size(), 1);
        QVERIFY(backend->script(ip, 200, R"({"ip":"198.51.100.99"})", 600));
        echo.newSession();
        echo.fetchPublicIP();
        QVERIFY(asked(3));
        echo.newSession();
        echo.fetchPublicIP();
        QTRY_COMPARE(found.size(), 2);
        QCOMPARE(found[1][0].toString(), QStringLiteral("203.0.113.10"));
        QVERIFY(backend->script(ip, 200, R"({"ip":"198.51.100.98"})", 5000));
        echo.fetchPublicIP(); // stalls
        QTest::qWait(1200);
        echo.fetchPublicIP();
        QTRY_COMPARE(found.size(), 3);
        QCOMPARE(found[2][0].toString(), QStringLiteral("203.0.113.10"));
        QCOMPARE(backend->requestsTo(ip), 6);
    }

    // The sign-in part's rules, and the form's side of signing in.
    void addressRules_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "a@b.co" << true;
        QTest::newRow("spaces and tabs around") << " \ta@b.co \t" << true;
        QTest::newRow("no dot after the at") << "a@bco" << false;
        QTest::newRow("two ats") << "a@@b.co" << false;
        QTest::newRow("space inside") << "a b@c.de" << false;
        QTest::newRow("no-break space inside") << "a\u00A0b@c.de" << false;
        QTest::newRow("ideographic space inside") << "a@c\u3000.de" << false;
        QTest::newRow("no-break and em spaces around") << "\u00A0a@b.co\u2003" << true;
        QTest::newRow("line separator kept") << "a@b.co\u2028" << false;
        QTest::newRow("line break kept") << "a@b.co\n" << false;
        QTest::newRow("empty") << "" << false;
    }
    void addressRules() {
        QFETCH(QString, typed);
        QFETCH(bool, valid);
        QCOMPARE(SignInForm::isValidEmail(typed), valid);
        if (valid) // what is sent carries no white space at all
            QVERIFY(!SignInForm::trimmed(typed).contains(QRegularExpression(
                QStringLiteral("\\s"), QRegularExpression::UseUnicodePropertiesOption)));
    }

    void sendCodeValidatesTrimsAndCoolsDown() {
        SignInFlow& flow = signInForm();
        form->editEmail(QStringLiteral("nope@"));
        QCoro::waitFor(form->sendCode());
        QCOMPARE(flow.authErrorMessage(), QStringLiteral("Enter a valid email address"));
        QCOMPARE(requestCount("request"), 0);
        form->editEmail(QStringLiteral("\u00A0 active@veloxa.test\t"));
        QCOMPARE(flow.authErrorMessage(), std::nullopt); // editing clears the message

        QSignalSpy focused(form.get(), &SignInForm::codeRequested);
        QCoro::waitFor(form->sendCode());
        QCOMPARE(flow.loginEmail(), QStringLiteral("active@veloxa.test"));
        QCOMPARE(flow.loginStage(), Stage::Code);
        QCOMPARE(flow.loginIsLoading(), false);
        QCOMPARE(form->cooldownRemaining(), 60);
        QCOMPARE(focused.count(), 1);
        QCoro::waitFor(form->sendCode()); // during the cooldown: nothing
        QCOMPARE(requestCount("request"), 1);

        form->backToEmail();
        QCOMPARE(flow.loginStage(), Stage::Email);
        QCOMPARE(flow.loginCode(), QString());
        QCOMPARE(form->cooldownRemaining(), 60); // the cooldown survives going back
    }

    void failedRequestKeepsTheStep() {
        SignInFlow& flow = signInForm();
        form->editEmail(QStringLiteral("a@b.co"));
        flow.setOtpCooldownEndsAt(std::nullopt);
        backend.reset(); // the service is gone
        QCoro::waitFor(form->sendCode());
        QVERIFY(flow.authErrorMessage());
        QCOMPARE(flow.loginStage(), Stage::Email);
        QCOMPARE(flow.loginIsLoading(), false);
        QCOMPARE(flow.otpCooldownEndsAt(), std::nullopt);
    }

    void cooldownRounding() {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QCOMPARE(SignInForm::cooldownRemaining(std::nullopt, now), 0);
        QCOMPARE(SignInForm::cooldownRemaining(now.addMSecs(59200), now), 60);
        QCOMPARE(SignInForm::cooldownRemaining(now.addMSecs(1), now), 1);
        QCOMPARE(SignInForm::cooldownRemaining(now.addSecs(-5), now), 0);
    }

    void codeFilterAndAutomaticVerification() {
        SignInFlow& flow = signInForm();
        QCOMPARE(SignInForm::filterCode(QStringLiteral("12a3")), QStringLiteral("123"));
        QCOMPARE(SignInForm::filterCode(QStringLiteral("12 34-56")), QStringLiteral("123456"));
        QCOMPARE(SignInForm::filterCode(QStringLiteral("1234567")), QStringLiteral("123456"));
        QCOMPARE(SignInForm::filterCode(QStringLiteral("١٢٣")), QStringLiteral("١٢٣"));

        const QString email = dev::DevService::activeSeed;
        form->editEmail(email);
        QCoro::waitFor(form->sendCode());
        const QString code = backend->service.mailbox(email).last();
        form->editCode(code.left(5));
        QCOMPARE(requestCount("verify"), 0);
        // A request in flight blocks the automatic submission.
        flow.setLoginIsLoading(true);
        form->editCode(code);
        QCOMPARE(requestCount("verify"), 0);
        flow.setLoginIsLoading(false);
        QSignalSpy signedIn(&flow, &SignInFlow::signedIn);
        form->editCode(code.left(5));
        form->editCode(code.left(3) + QStringLiteral(" ") + code.mid(3) + QStringLiteral("9"));
        QTRY_COMPARE(signedIn.count(), 1);
        QCOMPARE(requestCount("verify"), 1);
        QCOMPARE(flow.loginIsLoading(), false);
    }

    void deviceName() {
        const QString debian = QStringLiteral("Debian GNU/Linux 12");
        QCOMPARE(DeviceIdentity::deviceName(QString(), debian), "Linux — " + debian);
        QCOMPARE(DeviceIdentity::deviceName(QStringLiteral(" studio "), debian),
                 "studio — " + debian);
        QCOMPARE(DeviceIdentity::systemName("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                            "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"),
                 debian);
        QCOMPARE(DeviceIdentity::systemName("NAME=Arch Linux\n"), QStringLiteral("Arch Linux"));
        QCOMPARE(DeviceIdentity::systemName("ID=x\n"), QString());
        QCOMPARE(DeviceIdentity::platform(QStringLiteral("x86_64")),
                 QStringLiteral("linux-x86_64"));
        QCOMPARE(DeviceIdentity::platform(QStringLiteral("i386")), QStringLiteral("linux-x86"));
        // This machine names itself by its system, never as a Mac.
        QVERIFY(!DeviceIdentity::currentDeviceName().contains(QStringLiteral("macOS")));
        QVERIFY(DeviceIdentity::platform().startsWith(QStringLiteral("linux-")));
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "tst_appstate.moc"
