#include "app/AppState.h"
#include "app/QmlTypes.h"
#include "localization/Localization.h"
#include "platform/MemorySecureItemStore.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QTest>

using namespace veloxa;

// What QML sees of the core: enumerations by name and live-relabelling texts.
class TestQmlTypes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QmlTypes::registerAll();
    }
    void enumsAndTextsReachQml() {
        Localization::shared().setLanguage(AppLanguage::en);
        QQmlEngine engine;
        QmlTypes::prepareEngine(engine);
        QQmlComponent component(&engine);
        // Texts of the views' translation contexts follow a language switch by themselves.
        component.setData(R"qml(import QtQml
            import Veloxa.Core
            QtObject {
                property int active: TunnelStatus.Active
                property int reasserting: TunnelStatus.Reasserting
                property string account: qsTranslate("FloatingTabBar", "Account")
                property string header: qsTranslate("AccountView", "Devices (%1/5)").arg(3)
            })qml",
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("active").toInt(), 2);
        QCOMPARE(object->property("reasserting").toInt(), 4);
        QCOMPARE(object->property("account").toString(), QStringLiteral("Account"));
        Localization::shared().setLanguage(AppLanguage::de);
        QCOMPARE(object->property("account").toString(), QStringLiteral("Konto"));
        QCOMPARE(object->property("header").toString(), QStringLiteral("Geräte (3/5)"));
        Localization::shared().setLanguage(AppLanguage::en);
    }

    void modelFieldsReadFromQml() {
        AppState state({std::make_shared<MemorySecureItemStore>(),
                        QUrl(QStringLiteral("http://127.0.0.1:9")), QUrl(), QString()});
        DeviceSummary device{QStringLiteral("U1"),          QStringLiteral("Studio"),
                             QStringLiteral("macos-arm64"), {},
                             QStringLiteral("c"),           std::nullopt};
        state.applyLoginResult({QStringLiteral("t"),
                                QStringLiteral("a@b.c"),
                                QStringLiteral("active"),
                                std::nullopt,
                                {device},
                                {}});
        state.setPendingDeviceLimit(DeviceLimitResult{QStringLiteral("r"), 5, {device, device}});
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(R"(import QtQml
            import Veloxa.Core
            QtObject {
                required property AppState model
                property bool ipIsNull: model.publicIP === null
                property bool expiryIsNull: model.expiresAt === null
                property int deviceCount: model.devices.length
                property string firstName: model.devices[0].deviceName
                property bool lastSeenIsNull: model.devices[0].lastSeenAt === undefined || model.devices[0].lastSeenAt === null
                property int limit: model.pendingDeviceLimit ? model.pendingDeviceLimit.maxDevices : -1
                property int limitDevices: model.pendingDeviceLimit ? model.pendingDeviceLimit.devices.length : -1
                property bool active: model.tunnelStatus === TunnelStatus.Inactive && model.selectedRootTab === AppState.Vpn
                function dismiss() { model.pendingDeviceLimit = null; model.selectedRootTab = AppState.About }
            })",
                          QUrl());
        std::unique_ptr<QObject> object(
            component.createWithInitialProperties({{"model", QVariant::fromValue(&state)}}));
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("ipIsNull").toBool(), true);
        QCOMPARE(object->property("expiryIsNull").toBool(), true);
        QCOMPARE(object->property("deviceCount").toInt(), 1);
        QCOMPARE(object->property("firstName").toString(), QStringLiteral("Studio"));
        QCOMPARE(object->property("lastSeenIsNull").toBool(), true);
        QCOMPARE(object->property("limit").toInt(), 5);
        QCOMPARE(object->property("limitDevices").toInt(), 2);
        QCOMPARE(object->property("active").toBool(), true);
        QMetaObject::invokeMethod(object.get(), "dismiss");
        QCOMPARE(state.pendingDeviceLimit(), std::nullopt);
        QCOMPARE(state.selectedRootTab(), AppState::RootTab::About);
        // Fields the views may not write have no setter reachable from QML.
        QQmlComponent writer(&engine);
        writer.setData(R"(import QtQml
            QtObject { required property QtObject model; function write() { model.isLoggedIn = false } })",
                       QUrl());
        std::unique_ptr<QObject> w(
            writer.createWithInitialProperties({{"model", QVariant::fromValue(&state)}}));
        QVERIFY(w);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(".*read-only property.*|.*isLoggedIn.*"));
        QMetaObject::invokeMethod(w.get(), "write");
        QVERIFY(state.isLoggedIn());
    }
};

QTEST_GUILESS_MAIN(TestQmlTypes)
#include "tst_qmltypes.moc"
