#include "app/AppState.h"
#include "app/TrayController.h"
#include "localization/Localization.h"
#include "platform/SystemTrayBackend.h"
#include "support/DesktopFakes.h"

#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

using namespace veloxa;

namespace {
QStringList titles(const QList<TrayMenuEntry>& entries) {
    QStringList out;
    for (const auto& e : entries)
        out << (e.separator ? QStringLiteral("-") : e.title);
    return out;
}
} // namespace

class TestTrayController : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { Localization::shared().setLanguage(AppLanguage::en); }

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
};

QTEST_GUILESS_MAIN(TestTrayController)
#include "tst_traycontroller.moc"
