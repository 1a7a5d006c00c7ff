#include "app/AppState.h"
#include "app/ModelPreview.h"
#include "app/TrayController.h"
#include "localization/Localization.h"
#include "platform/MemorySecureItemStore.h"
#include "platform/SystemTrayBackend.h"

#include <QSystemTrayIcon>

#include <QStandardPaths>
#include <QTest>

using namespace veloxa;

namespace {
// Records what the controller asks of the tray.
struct FakeTray : TrayBackend {
    QStringList icons;
    QList<QList<TrayMenuEntry>> menus;
    void setIcon(const QString& symbol) override { icons << symbol; }
    void popUpMenu(const QList<TrayMenuEntry>& entries) override { menus << entries; }
    std::function<void(bool)> click;
    void setClickHandler(std::function<void(bool)> handler) override { click = handler; }
};
QStringList titles(const QList<TrayMenuEntry>& entries) {
    QStringList out;
    for (const auto& e : entries)
        out << (e.separator ? QStringLiteral("-") : e.title);
    return out;
}
} // namespace

class TestTrayController : public QObject {
    Q_OBJECT

    std::unique_ptr<AppState> makeState(const QString& preview) {
        auto state = std::make_unique<AppState>(
            AppState::Dependencies{std::make_shared<MemorySecureItemStore>(),
                                   QUrl(QStringLiteral("http://127.0.0.1:9")), QUrl(), QString()});
        ModelPreview::apply(*state, preview);
        return state;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { Localization::shared().setLanguage(AppLanguage::en); }

    void iconFollowsTheStatus() {
        QCOMPARE(TrayController::iconFor(TunnelStatus::Inactive), QStringLiteral("shield.slash"));
        QCOMPARE(TrayController::iconFor(TunnelStatus::Active), QStringLiteral("bolt.shield.fill"));
        for (auto s : {TunnelStatus::Activating, TunnelStatus::Deactivating,
                       TunnelStatus::Reasserting, TunnelStatus::Restarting, TunnelStatus::Waiting})
            QCOMPARE(TrayController::iconFor(s), QStringLiteral("bolt.shield"));
        auto state = makeState("connected");
        FakeTray tray;
        TrayController controller(*state, tray, {}, {});
        QCOMPARE(tray.icons, QStringList{"bolt.shield.fill"});
        ModelPreview::apply(*state, QStringLiteral("connecting")); // live, as the poll moves
        QCOMPARE(tray.icons, (QStringList{"bolt.shield.fill", "bolt.shield"}));
    }

    void everyClickButTheContextOneOpensTheWindow() {
        for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                            QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown})
            QVERIFY(!SystemTrayBackend::opensMenu(reason));
        QVERIFY(SystemTrayBackend::opensMenu(QSystemTrayIcon::Context));
    }

    void clicksAndMenus() {
        auto state = makeState("signed-in");
        FakeTray tray;
        int opened = 0, quits = 0;
        TrayController controller(
            *state, tray, [&] { ++opened; }, [&] { ++quits; });
        tray.click(false);
        QCOMPARE(opened, 1);
        QVERIFY(tray.menus.isEmpty()); // a left click never opens the menu
        tray.click(true);
        QCOMPARE(titles(tray.menus.last()),
                 (QStringList{"Connect", "About Veloxa", "-", "Quit Veloxa"}));
        Localization::shared().setLanguage(AppLanguage::de);
        controller.handleClick(true); // built anew in the current language
        QCOMPARE(titles(tray.menus.last()),
                 (QStringList{"Verbinden", "Über Veloxa", "-", "Veloxa beenden"}));

        tray.menus.last()[1].action(); // About: the about tab, window shown
        QCOMPARE(state->selectedRootTab(), AppState::RootTab::About);
        QCOMPARE(opened, 2);
        tray.menus.last()[3].action();
        QCOMPARE(quits, 1);

        // Connect on anything but active: here it runs the model's connect (no tunnel
        // manager yet, so it only clears the last connection error).
        auto connected = makeState("connected");
        FakeTray other;
        TrayController second(*connected, other, {}, {});
        Localization::shared().setLanguage(AppLanguage::ru);
        second.handleClick(true);
        QCOMPARE(other.menus.last().first().title, QStringLiteral("Отключиться"));
        Localization::shared().setLanguage(AppLanguage::es);
        auto connecting = makeState("connecting");
        TrayController third(*connecting, other, {}, {});
        third.handleClick(true);
        QCOMPARE(other.menus.last().first().title, QStringLiteral("Conectar"));
        QCOMPARE(other.icons.last(), QStringLiteral("bolt.shield"));
    }
};

QTEST_GUILESS_MAIN(TestTrayController)
#include "tst_traycontroller.moc"
