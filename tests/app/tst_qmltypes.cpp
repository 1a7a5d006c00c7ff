#include "app/QmlTypes.h"
#include "localization/Localization.h"

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
        QQmlComponent component(&engine);
        component.setData(R"(import QtQml
            import Veloxa.Core
            QtObject {
                property int active: TunnelStatus.active
                property int reasserting: TunnelStatus.reasserting
                property string account: Localization.strings.tabAccount
                property string header: Localization.language, Localization.devicesHeader(3)
            })",
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
};

QTEST_GUILESS_MAIN(TestQmlTypes)
#include "tst_qmltypes.moc"
