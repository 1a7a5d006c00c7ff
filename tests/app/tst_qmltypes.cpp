#include "app/AppState.h"
#include "app/QmlTypes.h"
#include "localization/Localization.h"

#include <QAbstractItemModelTester>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QTest>

using namespace veloxa;

namespace {
// "A" is device A named "A"; "A=Studio" names it Studio.
QList<DeviceSummary> devices(const QStringList& specs) {
    QList<DeviceSummary> out;
    for (const QString& spec : specs)
        out << DeviceSummary{spec.section(u'=', 0, 0), spec.section(u'=', -1),
                             QStringLiteral("p"),      {},
                             QStringLiteral("c"),      std::nullopt};
    return out;
}
} // namespace

// What QML sees of the core: live-relabelling texts, the model's fields and its lists.
class TestQmlTypes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QmlTypes::registerAll();
    }
    void textsRelabelLive() {
        Localization::shared().setLanguage(AppLanguage::en);
        QQmlEngine engine;
        QmlTypes::prepareEngine(engine);
        QQmlComponent component(&engine);
        // Texts of the views' translation contexts follow a language switch by themselves.
        component.setData(R"qml(import QtQml
            QtObject {
                property string account: qsTranslate("FloatingTabBar", "Account")
                property string header: qsTranslate("AccountView", "Devices (%1/5)").arg(3)
            })qml",
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("account").toString(), QStringLiteral("Account"));
        Localization::shared().setLanguage(AppLanguage::de);
        QCOMPARE(object->property("account").toString(), QStringLiteral("Konto"));
        QCOMPARE(object->property("header").toString(), QStringLiteral("Geräte (3/5)"));
        Localization::shared().setLanguage(AppLanguage::en);
    }

    void modelFieldsReadFromQml() {
        AppState state(AppState::Dependencies::offline());
        const auto two = devices({QStringLiteral("U1=Studio"), QStringLiteral("U2")});
        state.applyLoginResult({QStringLiteral("t"),
                                QStringLiteral("a@b.c"),
                                QStringLiteral("active"),
                                std::nullopt,
                                two.mid(0, 1),
                                {}});
        state.setPendingDeviceLimit(DeviceLimitResult{QStringLiteral("r"), 5, two});
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(R"(import QtQml
            import Veloxa.Core
            QtObject {
                required property AppState model
                property bool ipIsNull: model.publicIP === null
                property bool expiryIsNull: model.expiresAt === null
                property string firstName: model.devices[0].deviceName
                property bool lastSeenIsNull: model.devices[0].lastSeenAt === undefined || model.devices[0].lastSeenAt === null
                property int limitDevices: model.pendingDeviceLimit ? model.pendingDeviceLimit.devices.length : -1
                property bool inactive: model.tunnelStatus === TunnelStatus.Inactive && model.selectedRootTab === AppState.Vpn
                function dismiss() { model.pendingDeviceLimit = null; model.selectedRootTab = AppState.About }
                function write() { model.isLoggedIn = false }
            })",
                          QUrl());
        std::unique_ptr<QObject> object(
            component.createWithInitialProperties({{"model", QVariant::fromValue(&state)}}));
        QVERIFY2(object, qPrintable(component.errorString()));
        for (const char* name : {"ipIsNull", "expiryIsNull", "lastSeenIsNull", "inactive"})
            QVERIFY2(object->property(name).toBool(), name);
        QCOMPARE(object->property("firstName").toString(), QStringLiteral("Studio"));
        QCOMPARE(object->property("limitDevices").toInt(), 2);
        QMetaObject::invokeMethod(object.get(), "dismiss");
        QCOMPARE(state.pendingDeviceLimit(), std::nullopt);
        QCOMPARE(state.selectedRootTab(), AppState::RootTab::About);
        // Fields the views may not write have no setter reachable from QML.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(".*read-only property.*"));
        QMetaObject::invokeMethod(object.get(), "write");
        QVERIFY(state.isLoggedIn());
    }

    void deviceListChangesInPlace_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("thisDevice");
        QTest::addColumn<QStringList>("announced");
        const QStringList abc{"A", "B", "C"};
        QTest::newRow("unchanged") << abc << abc << "" << QStringList();
        QTest::newRow("renamed") << abc << QStringList{"A", "B=Bee", "C"} << ""
                                 << QStringList{"change 1-1"};
        QTest::newRow("removed") << abc << QStringList{"A", "C"} << "" << QStringList{"remove 1-1"};
        QTest::newRow("added") << abc << QStringList{"A", "D", "B", "C"} << ""
                               << QStringList{"insert 1-1"};
        QTest::newRow("reordered")
            << abc << QStringList{"C", "A", "B"} << "" << QStringList{"move 2>0"};
        QTest::newRow("this device first")
            << abc << abc << "C" << QStringList{"move 2>0", "change 0-2"};
        QTest::newRow("listed twice") << QStringList{"A", "B", "A"} << QStringList{"A", "B"} << ""
                                      << QStringList{"remove 2-2"};
    }
    void deviceListChangesInPlace() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QString, thisDevice);
        QFETCH(QStringList, announced);
        DeviceListModel list(true);
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.setDevices(devices(before), {});
        QStringList said;
        const auto range = [&](const char* what) {
            return [&said, what](const QModelIndex&, int first, int last) {
                said << QStringLiteral("%1 %2-%3").arg(QLatin1String(what)).arg(first).arg(last);
            };
        };
        connect(&list, &QAbstractItemModel::rowsInserted, this, range("insert"));
        connect(&list, &QAbstractItemModel::rowsRemoved, this, range("remove"));
        connect(&list, &QAbstractItemModel::modelReset, this, [&] { said << "reset"; });
        connect(&list, &QAbstractItemModel::rowsMoved, this,
                [&](const QModelIndex&, int from, int, const QModelIndex&, int to) {
                    said << QStringLiteral("move %1>%2").arg(from).arg(to);
                });
        connect(&list, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& first, const QModelIndex& last) {
                    said << QStringLiteral("change %1-%2").arg(first.row()).arg(last.row());
                });
        list.setDevices(devices(after), thisDevice);
        QCOMPARE(said, announced);
        // The rows read as the new list, this device first.
        std::stable_partition(after.begin(), after.end(),
                              [&](const QString& spec) { return spec.startsWith(thisDevice); });
        QStringList rows;
        for (int row = 0; row < list.rowCount(); ++row) {
            const auto at = list.index(row);
            const QString id = list.data(at, DeviceListModel::deviceUuidRole).toString();
            const QString name = list.data(at, DeviceListModel::deviceNameRole).toString();
            rows << (name == id ? id : id + u'=' + name);
            QCOMPARE(list.data(at, DeviceListModel::isThisDeviceRole).toBool(), id == thisDevice);
        }
        QCOMPARE(rows, after);
    }
};

QTEST_GUILESS_MAIN(TestQmlTypes)
#include "tst_qmltypes.moc"
