#include "platform/MemorySecureItemStore.h"
#include "session/SessionStore.h"

#include <QRegularExpression>
#include <QTest>

using namespace veloxa;
using Status = SecureItemStore::Status;

namespace {
const QString service = QStringLiteral("app_singbox.session");
const QString account = QStringLiteral("state");
const QString label = QStringLiteral("Veloxa — сессия входа");
} // namespace

class TestSessionStore : public QObject {
    Q_OBJECT

    std::shared_ptr<MemorySecureItemStore> items;
    SessionStore makeStore() { return SessionStore(items, service, account, label); }
    void putRaw(const QByteArray& data, const QString& itemLabel = label) {
        items->setItem(service, account, {data, itemLabel, {}});
    }

private slots:
    void init() { items = std::make_shared<MemorySecureItemStore>(); }

    void firstLaunchMakesOneIdentifierForGood() {
        auto store = makeStore();
        QCOMPARE(store.load(), std::nullopt);
        const QString uuid = store.currentDeviceUUID();
        QVERIFY(
            QRegularExpression(
                QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                .match(uuid)
                .hasMatch());
        QCOMPARE(items->addCalls, 1);
        const auto item = items->item(service, account);
        QVERIFY(item);
        QCOMPARE(item->label, label);
        QCOMPARE(item->accessibility,
                 SecureItemStore::Accessibility::afterFirstUnlockThisDeviceOnly);
        QCOMPARE(store.currentDeviceUUID(), uuid);
        // A later launch reads the same identifier.
        auto relaunched = makeStore();
        QCOMPARE(relaunched.currentDeviceUUID(), uuid);
        QCOMPARE(items->addCalls, 1);
    }

    void signOutKeepsOnlyTheIdentifier() {
        auto store = makeStore();
        store.save({QStringLiteral("ID"), QStringLiteral("tok"), QStringLiteral("a@b.c")});
        store.save({QStringLiteral("ID"), std::nullopt, std::nullopt});
        QCOMPARE(items->item(service, account)->data, QByteArray(R"({"deviceUUID":"ID"})"));
        const auto loaded = makeStore().load();
        QVERIFY(loaded);
        QCOMPARE(loaded->token, std::nullopt);
        QCOMPARE(loaded->email, std::nullopt);
    }

    void readsTolerantlyAndOverwritesUnreadableItems() {
        putRaw(R"({"deviceUUID":"ID","token":null,"extra":1})");
        auto loaded = makeStore().load();
        QVERIFY(loaded);
        QCOMPARE(loaded->deviceUUID, QStringLiteral("ID"));
        QCOMPARE(loaded->token, std::nullopt);

        for (const QByteArray& bad : {QByteArray("not json"), QByteArray(R"({"token":"t"})"),
                                      QByteArray(R"({"deviceUUID":5})")}) {
            putRaw(bad);
            auto store = makeStore();
            QCOMPARE(store.load(), std::nullopt);
            store.save({QStringLiteral("NEW"), std::nullopt, std::nullopt});
            QCOMPARE(items->itemCount(), 1);
            QCOMPARE(items->item(service, account)->data, QByteArray(R"({"deviceUUID":"NEW"})"));
        }
        QCOMPARE(items->addCalls, 0);
    }

    void cacheAndRelabelTouchTheStoreOnce() {
        putRaw(R"({"deviceUUID":"ID"})", QStringLiteral("old label"));
        auto store = makeStore();
        QVERIFY(store.load());
        QCOMPARE(items->item(service, account)->label, label);
        QVERIFY(store.load());
        QCOMPARE(items->findCalls, 1);
        QCOMPARE(items->updateCalls, 1);

        // Relabel is attempted once even when no item exists.
        init();
        auto empty = makeStore();
        QVERIFY(!empty.load());
        QVERIFY(!empty.load());
        QCOMPARE(items->updateCalls, 1);
        QCOMPARE(items->findCalls, 2);
    }

    void saveUpdatesInPlaceKeepingAccessibility() {
        putRaw(R"({"deviceUUID":"ID"})");
        auto store = makeStore();
        store.save({QStringLiteral("ID"), QStringLiteral("t"), QStringLiteral("e")});
        QCOMPARE(items->addCalls, 0);
        QCOMPARE(SessionState::fromJson(items->item(service, account)->data)->token,
                 QStringLiteral("t"));
    }

    void storeFailuresKeepTheCache() {
        items->forcedStatus = Status::failure;
        auto store = makeStore();
        QCOMPARE(store.load(), std::nullopt);
        const QString uuid = store.currentDeviceUUID();
        QCOMPARE(items->addCalls, 0); // only "not found" leads to add
        store.save({uuid, QStringLiteral("t"), QStringLiteral("e")});
        QCOMPARE(store.load()->token, QStringLiteral("t"));
        QCOMPARE(store.currentDeviceUUID(), uuid);
    }
};

QTEST_GUILESS_MAIN(TestSessionStore)
#include "tst_sessionstore.moc"
