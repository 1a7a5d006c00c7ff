#include "app/AppDelegate.h"
#include "app/ModelPreview.h"
#include "app/QmlTypes.h"
#include "app/SimpleMainMenu.h"
#include "app/TrayController.h"
#include "localization/Localization.h"
#include "platform/Bundle.h"
#include "platform/SystemTrayBackend.h"
#include "platform/netext/TunnelServiceClient.h"
#include "platform/sysext/SystemExtensionManager.h"
#include "support/DesktopFakes.h"
#include "support/TunnelServiceProcess.h"
#include "tunnel/SystemExtensionActivator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QQuickItem>
#include <QQuickView>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

using namespace veloxa;

namespace {

struct Alert {
    QMessageBox::Icon icon;
    QString text;
    QString informative;
};

// Records what the delegate asks of the system, in order.
struct Recorder {
    QStringList steps;
    QList<Alert> alerts;
    int exits = 0;
    bool withTray = true;
    RecordingTray* tray = nullptr;
    RecordingNotifier* notifier = nullptr;
    std::function<void(AppDelegate::LoadResult)> finishLoad;
    std::function<void(std::function<void(AppDelegate::LoadResult)>)> loader;
};

const Bundle bundle{{{"CFBundleName", QStringLiteral("Veloxa")},
                     {"AppGroupIdentifier", TunnelServiceProcess::appGroup()}},
                    QUrl::fromLocalFile(QStringLiteral("/opt/veloxa/Veloxa.app/"))};

QStringList titles(const QList<TrayMenuEntry>& entries) {
    QStringList out;
    for (const auto& e : entries)
        out << (e.separator ? QStringLiteral("-") : e.title);
    return out;
}
} // namespace

// The application around the model: launch, window, menus, the tray item, quitting.
class TestAppDelegate : public QObject {
    Q_OBJECT

    std::unique_ptr<AppDelegate> make(Recorder& r,
                                      std::function<void(AppDelegate::Hooks&)> adjust = {}) {
        AppDelegate::Hooks hooks;
        hooks.activateExtension = [&r](AppState&) { r.steps << "activate"; };
        hooks.loadTunnels = [&r](std::function<void(AppDelegate::LoadResult)> done) {
            r.steps << "load";
            if (r.loader)
                r.loader(done);
            else
                r.finishLoad = done;
        };
        hooks.makeTray = [&r]() -> std::unique_ptr<TrayBackend> {
            r.steps << "tray";
            if (!r.withTray)
                return nullptr;
            auto tray = std::make_unique<RecordingTray>();
            r.tray = tray.get();
            return tray;
        };
        hooks.makeNotifier = [&r]() -> std::unique_ptr<Notifier> {
            auto notifier = std::make_unique<RecordingNotifier>();
            r.notifier = notifier.get();
            return notifier;
        };
        hooks.alert = [&r](QMessageBox::Icon icon, const QString& text, const QString& info) {
            r.alerts << Alert{icon, text, info};
        };
        hooks.exitProcess = [&r] { ++r.exits; };
        if (adjust)
            adjust(hooks);
        return std::make_unique<AppDelegate>(AppState::Dependencies::offline(), hooks, bundle);
    }

    std::unique_ptr<AppDelegate> launch(Recorder& r) {
        auto delegate = make(r);
        delegate->applicationWillFinishLaunching();
        delegate->applicationDidFinishLaunching();
        return delegate;
    }

    // The tunnel extension's bundle, made anew by each test of its activation.
    std::optional<QTemporaryDir> bundleDir;
    Bundle extensionBundle() const {
        return Bundle({{"CFBundleIdentifier", QStringLiteral("net.veloxa.client")}},
                      QUrl::fromLocalFile(bundleDir->path() + u'/'));
    }
    void placeExtension() {
        QDir(bundleDir->path())
            .mkpath(QStringLiteral("Contents/Library/SystemExtensions/"
                                   "net.veloxa.client.network-extension.systemextension"));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { Localization::shared().setLanguage(AppLanguage::en); }

    void launchOrderAndFailedLoad() {
        Recorder r;
        auto delegate = make(r);
        delegate->applicationWillFinishLaunching();
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
        r.loader = [&](auto done) {
            // By the time the configurations load, menu, window and tray all exist.
            QVERIFY(delegate->mainMenu());
            QVERIFY(delegate->window() && delegate->window()->isVisible());
            QVERIFY(delegate->trayController());
            r.finishLoad = done;
        };
        delegate->applicationDidFinishLaunching();
        QCOMPARE(r.steps, (QStringList{"tray", "activate", "load"}));
        QVERIFY(r.alerts.isEmpty());

        r.finishLoad(std::unexpected(QStringLiteral("The tunnel service is not running.")));
        QCOMPARE(r.alerts.size(), 1);
        QCOMPARE(r.alerts[0].icon, QMessageBox::Warning);
        QCOMPARE(r.alerts[0].text, QStringLiteral("Unable to load VPN configuration"));
        QCOMPARE(r.alerts[0].informative, QStringLiteral("The tunnel service is not running."));
        QVERIFY(!delegate->tunnelsManager());
        QVERIFY(!delegate->appState().pollTimer());
        QCOMPARE(delegate->appState().tunnelStatus(), TunnelStatus::Inactive);
    }

    void windowIsFixedAndReused() {
        Recorder r;
        auto delegate = launch(r);
        QQuickView* window = delegate->window();
        QCOMPARE(window->title(), QStringLiteral("Veloxa"));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(!(window->flags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window->flags() & Qt::WindowCloseButtonHint);
        QCOMPARE(window->status(), QQuickView::Ready);
        const QRect area = window->screen()->availableGeometry();
        QVERIFY(qAbs(window->geometry().center().x() - area.center().x()) <= 1);

        // Closing keeps the process and the tray; a left click brings back the same
        // window where the user left it.
        window->setPosition(QPoint(10, 20));
        window->close();
        QTRY_VERIFY(!window->isVisible());
        QTest::qWait(20);
        QCOMPARE(r.exits, 0);
        r.tray->click(false);
        QCOMPARE(delegate->window(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->position(), QPoint(10, 20));

        // About from the tray menu and a second start of the client show it too.
        window->close();
        QTRY_VERIFY(!window->isVisible());
        delegate->trayController()->showAbout();
        QVERIFY(window->isVisible());
        QCOMPARE(delegate->appState().selectedRootTab(), AppState::RootTab::About);
        window->close();
        QTRY_VERIFY(!window->isVisible());
        qunsetenv("XDG_ACTIVATION_TOKEN");
        delegate->handOver(QStringLiteral("token-from-the-second-start"));
        QVERIFY(window->isVisible());
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), QByteArray("token-from-the-second-start"));
        QCOMPARE(r.exits, 0);
    }

    void configurationsLoadOnceTheServiceAnswers() {
        // The service is down at launch: one alert, then the load runs when it answers.
        TunnelServiceProcess tunnel;
        TunnelServiceClient client(tunnel.controlSocket());
        Recorder r;
        r.loader = [&](auto done) {
            TunnelProviderManager::loadAllFromPreferences(client, [&, done](auto list, auto e) {
                SingboxTunnelsManager::create(list, e, client, bundle, done);
            });
        };
        std::function<void()> onAnswer;
        auto delegate = make(r, [&](AppDelegate::Hooks& hooks) {
            hooks.whenServiceAnswers = [&](std::function<void()> callback) { onAnswer = callback; };
        });
        delegate->applicationWillFinishLaunching();
        delegate->applicationDidFinishLaunching();
        QTRY_COMPARE(r.alerts.size(), 1);
        QVERIFY(onAnswer);
        QVERIFY(!delegate->appState().pollTimer());

        QVERIFY(tunnel.start());
        QTRY_VERIFY(client.isConnected());
        onAnswer();
        QTRY_VERIFY(delegate->tunnelsManager());
        QCOMPARE(delegate->appState().tunnelsManager(), delegate->tunnelsManager());
        QVERIFY(delegate->appState().pollTimer());
        QCOMPARE(r.alerts.size(), 1);
    }

    // What the banner's button does about what keeps the service from being used.
    void approvalButtonDoesWhatLinuxNeeds_data() {
        QTest::addColumn<TunnelServiceClient::Reachability>("reachability");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("alert"); // empty: none
        QTest::addColumn<bool>("started");
        using R = TunnelServiceClient::Reachability;
        QTest::newRow("service down") << R::notRunning << true << QString() << true;
        QTest::newRow("someone else answers") << R::untrustedPeer << true << QString() << true;
        QTest::newRow("not in the group")
            << R::accessDenied << true << "Join the veloxa group to connect" << false;
        QTest::newRow("not installed")
            << R::notRunning << false << "The Veloxa tunnel service is not installed" << false;
        QTest::newRow("nothing to do") << R::connected << true << QString() << false;
    }
    void approvalButtonDoesWhatLinuxNeeds() {
        QFETCH(TunnelServiceClient::Reachability, reachability);
        QFETCH(bool, installed);
        QFETCH(QString, alert);
        QFETCH(bool, started);
        Recorder r;
        bool startRequested = false;
        auto delegate = make(r, [&](AppDelegate::Hooks& hooks) {
            hooks.approvalStep = [=] { return ServiceApproval::stepFor(reachability, installed); };
            hooks.startService = [&](auto done) {
                startRequested = true;
                done(QStringLiteral("Request dismissed"));
            };
        });
        delegate->appState().approveSystemExtension(); // what the banner's button calls
        QCOMPARE(startRequested, started);
        if (started) // a dismissed prompt is said, not swallowed
            alert = QStringLiteral("Request dismissed");
        QCOMPARE(r.alerts.size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty())
            QCOMPARE(started ? r.alerts[0].informative : r.alerts[0].text, alert);
    }

    void reconnectsAreAnnounced_data() {
        QTest::addColumn<bool>("withTray");
        QTest::newRow("by the tray item") << true;
        QTest::newRow("by the desktop's notifications") << false;
    }
    void reconnectsAreAnnounced() {
        QFETCH(bool, withTray);
        Recorder r;
        r.withTray = withTray;
        auto delegate = launch(r);
        emit delegate->appState().connection().connectionLost();
        emit delegate->appState().connection().connectionRestored();
        QCOMPARE(withTray ? r.tray->notices : r.notifier->notices,
                 (QStringList{"Veloxa connection lost — reconnecting|Traffic is held until the "
                              "VPN is back.",
                              "Veloxa connection restored|Traffic goes through the VPN again."}));
        QCOMPARE(r.notifier != nullptr, !withTray); // one way only
    }

    void alertsSayOKInEveryLanguage() {
        Localization::shared().setLanguage(AppLanguage::es); // Qt's own "OK" is "Aceptar" here
        const auto alert = AppDelegate::makeAlert(QMessageBox::Information, QStringLiteral("t"),
                                                  QStringLiteral("i"));
        QCOMPARE(alert->buttons().size(), 1);
        QCOMPARE(alert->buttons()[0]->text(), QStringLiteral("OK"));
    }

    void quittingTellsOnlyWhenTheTunnelStaysUp_data() {
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("alerts");
        auto row = [](const char* name, const char* preview, const char* how, int alerts) {
            QTest::newRow(name) << QString::fromLatin1(preview) << QString::fromLatin1(how)
                                << alerts;
        };
        row("connected", "connected", "quit", 1);
        row("connecting", "connecting", "quit", 0);
        row("signed in", "signed-in", "quit", 0);
        row("window closed, no tray", "connected", "close", 1);
        row("signal: nobody reads a dialog", "connected", "signal", 0);
    }
    void quittingTellsOnlyWhenTheTunnelStaysUp() {
        QFETCH(QString, preview);
        QFETCH(QString, how);
        QFETCH(int, alerts);
        Recorder r;
        r.withTray = how != u"close"; // without a tray nothing could bring the window back
        auto delegate = launch(r);
        ModelPreview::apply(delegate->appState(), preview);
        const auto status = delegate->appState().tunnelStatus();
        if (how == u"close")
            delegate->window()->close();
        else if (how == u"signal")
            delegate->terminateNow();
        else
            delegate->quit();
        QTRY_COMPARE(r.exits, 1);
        delegate->quit(); // a second request while the first is under way adds nothing
        QCOMPARE(r.exits, 1);
        QCOMPARE(r.alerts.size(), alerts);
        if (alerts)
            QVERIFY(r.alerts[0].informative.contains(QStringLiteral("will remain active")));
        QCOMPARE(delegate->appState().tunnelStatus(), status); // quitting stops nothing
    }

    void mainMenuTitlesAndKeys() {
        Recorder r;
        auto delegate = launch(r);
        QStringList keys;
        for (QAction* action : delegate->mainMenu()->allActions())
            keys << action->shortcut().toString();
        QCOMPARE(keys, (QStringList{"", "Ctrl+H", "Ctrl+Q", "Ctrl+X", "Ctrl+C", "Ctrl+V", "Ctrl+A",
                                    "Ctrl+M", "Ctrl+W"}));
        // A bundle without a usable name still names the application.
        QCOMPARE(SimpleMainMenu::applicationName(Bundle({{"CFBundleName", 7}}, QUrl())),
                 QStringLiteral("App"));

        // The menu's keys work in the window: the edit keys on the focused field...
        ModelPreview::apply(delegate->appState(), QStringLiteral("email-step"));
        QQuickView* window = delegate->window();
        window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* field =
            qobject_cast<QQuickItem*>(QmlTypes::findNamed(window->rootObject(), "emailField"));
        QVERIFY(field);
        field->forceActiveFocus();
        for (QChar c : QStringLiteral("me@veloxa.test"))
            QTest::keyClick(window, c.toLatin1());
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(window, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(field->property("text").toString(), QString());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("me@veloxa.test"));
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field->property("text").toString(), QStringLiteral("me@veloxa.test"));

        // ...close and quit on the application.
        QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(r.exits, 0);
        delegate->showMainWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        delegate->showMainWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(r.exits, 1);
    }

    // The tray item on its own.
    void iconAndToggleFollowTheStatus_data() {
        QTest::addColumn<TunnelStatus>("status");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("toggle");
        QTest::newRow("inactive") << TunnelStatus::Inactive << "shield.slash"
                                  << "Connect";
        QTest::newRow("activating") << TunnelStatus::Activating << "bolt.shield"
                                    << "Connect";
        QTest::newRow("active") << TunnelStatus::Active << "bolt.shield.fill"
                                << "Disconnect";
        QTest::newRow("reconnecting") << TunnelStatus::Reasserting << "bolt.shield"
                                      << "Disconnect";
        QTest::newRow("deactivating") << TunnelStatus::Deactivating << "bolt.shield"
                                      << "Connect";
    }
    void iconAndToggleFollowTheStatus() {
        QFETCH(TunnelStatus, status);
        QFETCH(QString, icon);
        QFETCH(QString, toggle);
        AppState state(AppState::Dependencies::offline());
        RecordingTray tray;
        TrayController controller(state, tray, {}, {});
        state.connection().setTunnelStatus(status); // live, as the poll moves
        QCOMPARE(tray.icons.last(), icon);
        controller.handleClick(true);
        QCOMPARE(tray.menus.last().first().title, toggle);
    }

    void everyClickButTheContextOneOpensTheWindow() {
        for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                            QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown})
            QVERIFY(!SystemTrayBackend::opensMenu(reason));
        QVERIFY(SystemTrayBackend::opensMenu(QSystemTrayIcon::Context));
    }

    void clicksAndMenus() {
        AppState state(AppState::Dependencies::offline());
        RecordingTray tray;
        int opened = 0, quits = 0;
        TrayController controller(
            state, tray, [&] { ++opened; }, [&] { ++quits; });
        tray.click(false);
        QCOMPARE(opened, 1);
        QVERIFY(tray.menus.isEmpty()); // a left click never opens the menu
        tray.click(true);
        QCOMPARE(titles(tray.menus.last()),
                 (QStringList{"Connect", "About Veloxa", "-", "Quit Veloxa"}));
        Localization::shared().setLanguage(AppLanguage::de);
        controller.handleClick(true); // built anew in the current language
        QCOMPARE(tray.menus.last().first().title, QStringLiteral("Verbinden"));

        tray.menus.last()[1].action(); // About: the about tab, window shown
        QCOMPARE(state.selectedRootTab(), AppState::RootTab::About);
        QCOMPARE(opened, 2);
        tray.menus.last()[3].action();
        QCOMPARE(quits, 1);
    }

    // The tunnel extension's activation: the activator's answers and the Linux manager's
    // outcomes, as the model sees them through systemExtensionNeedsApproval.
    void activatorAnswersAndOneShotCompletion() {
        bundleDir.emplace();
        SystemExtensionActivator activator(extensionBundle());
        QVERIFY(!activator.isExtensionPresent(extensionBundle()));
        placeExtension();
        QVERIFY(activator.isExtensionPresent(extensionBundle()));

        auto request = SystemExtensionRequest::activationRequest(activator.extensionIdentifier());
        QCOMPARE(activator.actionForReplacingExtension(*request, "2.0", "1.0"),
                 SystemExtensionRequestDelegate::ReplacementAction::replace);
        int approvals = 0, completions = 0;
        activator.onNeedsApproval = [&] { ++approvals; };
        activator.completion = [&](std::optional<QString> error) {
            completions += error ? 100 : 1;
        };
        activator.requestNeedsUserApproval(*request);
        activator.requestNeedsUserApproval(*request);
        QCOMPARE(approvals, 2);
        activator.didFinishWithResult(
            *request, SystemExtensionRequestDelegate::Result::willCompleteAfterReboot);
        activator.didFailWithError(*request, QStringLiteral("late"));
        QCOMPARE(completions, 1); // cleared after the first outcome
    }

    void modelFollowsTheActivation() {
        // No extension in the bundle: nothing submitted, the flag is false.
        bundleDir.emplace();
        auto state = std::make_unique<AppState>(AppState::Dependencies::offline());
        TunnelServiceProcess service;
        TunnelServiceClient client(service.controlSocket());
        SystemExtensionManager manager(client, QStringLiteral("1.0.0"));
        SystemExtensionActivator absent(extensionBundle());
        state->activateSystemExtension(absent, manager, extensionBundle());
        QVERIFY(!absent.completion);
        QCOMPARE(state->systemExtensionNeedsApproval(), false);

        // No service answers: approval needed; once it answers, finished.
        placeExtension();
        SystemExtensionActivator activator(extensionBundle());
        state->activateSystemExtension(activator, manager, extensionBundle());
        QTRY_VERIFY(state->systemExtensionNeedsApproval());
        QVERIFY(service.start());
        QTRY_VERIFY_WITH_TIMEOUT(!state->systemExtensionNeedsApproval(), 10000);

        // Another version runs: replaced, finishing after the service restarts.
        SystemExtensionManager newer(client, QStringLiteral("2.0.0"));
        SystemExtensionActivator again(extensionBundle());
        bool finished = false;
        state->activateSystemExtension(again, newer, extensionBundle());
        auto inner = again.completion;
        again.completion = [&](std::optional<QString> error) {
            finished = !error;
            inner(error);
        };
        QTRY_VERIFY(finished);
    }

    void failureAfterApprovalKeepsTheBanner() {
        bundleDir.emplace();
        placeExtension();
        auto state = std::make_unique<AppState>(AppState::Dependencies::offline());
        SystemExtensionActivator activator(extensionBundle());
        TunnelServiceClient nowhere(bundleDir->filePath(QStringLiteral("none.sock")));
        SystemExtensionManager manager(nowhere, QStringLiteral("1.0.0"));
        state->activateSystemExtension(activator, manager, extensionBundle());
        QTRY_VERIFY(state->systemExtensionNeedsApproval());
        auto request = SystemExtensionRequest::activationRequest(activator.extensionIdentifier());
        activator.didFailWithError(*request, QStringLiteral("refused"));
        QVERIFY(state->systemExtensionNeedsApproval());
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
