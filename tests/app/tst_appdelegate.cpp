#include "app/AppDelegate.h"
#include "app/ModelPreview.h"
#include "app/QmlTypes.h"
#include "app/SimpleMainMenu.h"
#include "app/TrayController.h"
#include "localization/Localization.h"
#include "platform/Bundle.h"
#include "platform/netext/TunnelServiceClient.h"
#include "support/DesktopFakes.h"
#include "support/TunnelServiceProcess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QQuickItem>
#include <QQuickView>
#include <QStandardPaths>
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

} // namespace

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

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

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
        QCOMPARE(window->size(), QSize(380, 520));
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

    void approvalButtonDoesWhatLinuxNeeds_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("alert"); // empty: none
        QTest::addColumn<bool>("started");
        using Step = ServiceApproval::Step;
        QTest::newRow("service down") << int(Step::startService) << QString() << true;
        QTest::newRow("not in the group")
            << int(Step::joinGroup) << QStringLiteral("Join the veloxa group to connect") << false;
        QTest::newRow("not installed")
            << int(Step::install) << QStringLiteral("The Veloxa tunnel service is not installed")
            << false;
        QTest::newRow("nothing to do") << int(Step::none) << QString() << false;
    }
    void approvalButtonDoesWhatLinuxNeeds() {
        QFETCH(int, step);
        QFETCH(QString, alert);
        QFETCH(bool, started);
        Recorder r;
        bool startRequested = false;
        auto delegate = make(r, [&](AppDelegate::Hooks& hooks) {
            hooks.approvalStep = [step] { return ServiceApproval::Step(step); };
            hooks.startService = [&](auto done) {
                startRequested = true;
                done(QStringLiteral("Request dismissed"));
            };
        });
        delegate->appState().approveSystemExtension(); // what the banner's button calls
        QCOMPARE(startRequested, started);
        if (started) { // a dismissed prompt is said, not swallowed
            QCOMPARE(r.alerts.size(), 1);
            QCOMPARE(r.alerts[0].informative, QStringLiteral("Request dismissed"));
        } else {
            QCOMPARE(r.alerts.size(), alert.isEmpty() ? 0 : 1);
            if (!alert.isEmpty())
                QCOMPARE(r.alerts[0].text, alert);
        }
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
        Localization::shared().setLanguage(AppLanguage::en);
        QCOMPARE(alert->buttons().size(), 1);
        QCOMPARE(alert->buttons()[0]->text(), QStringLiteral("OK"));
    }

    void approvalSteps() {
        using R = TunnelServiceClient::Reachability;
        using Step = ServiceApproval::Step;
        QCOMPARE(ServiceApproval::stepFor(R::connected, true), Step::none);
        QCOMPARE(ServiceApproval::stepFor(R::accessDenied, true), Step::joinGroup);
        QCOMPARE(ServiceApproval::stepFor(R::notRunning, true), Step::startService);
        QCOMPARE(ServiceApproval::stepFor(R::notRunning, false), Step::install);
        QCOMPARE(ServiceApproval::stepFor(R::untrustedPeer, true), Step::startService);
    }

    void quittingTellsOnlyWhenTheTunnelStaysUp_data() {
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("alerts");
        QTest::newRow("connected") << "connected"
                                   << "quit" << 1;
        QTest::newRow("connecting") << "connecting"
                                    << "quit" << 0;
        QTest::newRow("signed in") << "signed-in"
                                   << "quit" << 0;
        QTest::newRow("window closed, no tray") << "connected"
                                                << "close" << 1;
        QTest::newRow("signal: nobody reads a dialog") << "connected"
                                                       << "signal" << 0;
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
            QCOMPARE(r.alerts[0].informative,
                     QStringLiteral("The VPN tunnel will remain active, since it's managed by the "
                                    "system extension rather than this app."));
        QCOMPARE(delegate->appState().tunnelStatus(), status); // quitting stops nothing
    }

    void mainMenuTitlesAndKeys() {
        Recorder r;
        auto delegate = launch(r);
        QStringList titles;
        QStringList keys;
        for (QAction* action : delegate->mainMenu()->allActions()) {
            titles << action->text();
            keys << action->shortcut().toString();
        }
        QCOMPARE(titles,
                 (QStringList{"О программе Veloxa", "Скрыть Veloxa", "Выйти из Veloxa", "Вырезать",
                              "Копировать", "Вставить", "Выделить всё", "Свернуть", "Закрыть"}));
        QCOMPARE(keys, (QStringList{"", "Ctrl+H", "Ctrl+Q", "Ctrl+X", "Ctrl+C", "Ctrl+V", "Ctrl+A",
                                    "Ctrl+M", "Ctrl+W"}));
        QStringList menus;
        for (QAction* top : delegate->mainMenu()->actions())
            menus << top->menu()->title();
        QCOMPARE(menus, (QStringList{"", "Edit", "Window"}));
        QCOMPARE(SimpleMainMenu::applicationName(Bundle()), QStringLiteral("App"));
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
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
