#include "platform/LibsecretItemStore.h"
#include "platform/MemorySecureItemStore.h"
#include "session/SessionStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace veloxa;
using Status = SecureItemStore::Status;

// The session store over a store in memory; the secret store against a real Secret
// Service (gnome-keyring under dbus-run-session, started by the test script), and against
// buses that are missing or never answer.
class TestKeyringStore : public QObject {
    Q_OBJECT

    // A fresh service name per run so earlier runs' items never interfere.
    const QString service =
        QStringLiteral("veloxa.test.") + QUuid::createUuid().toString(QUuid::Id128);
    const QString account = QStringLiteral("state");

    bool haveSecretService() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            return false;
        LibsecretItemStore probe;
        return probe.find(service, QStringLiteral("probe")).status != Status::failure;
    }

    // Runs one check of this binary in a child whose session bus is `busAddress`.
    void runChild(const QString& mode) {
        QProcess child;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELOXA_KEYRING_CHILD"), mode);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("childCheck")});
        const bool finished = child.waitForFinished(30000);
        QVERIFY2(finished && child.exitCode() == 0, child.readAll().constData());
    }

    // The session store over a store in memory.
    static inline const QString label = QStringLiteral("Veloxa — сессия входа");
    std::shared_ptr<MemorySecureItemStore> items;
    SessionStore makeStore() { return SessionStore(items, service, account, label); }
    void putRaw(const QByteArray& data, const QString& itemLabel = label) {
        items->setItem(service, account, {data, itemLabel, {}});
    }

private slots:
    void init() { items = std::make_shared<MemorySecureItemStore>(); }

    void childCheck() {
        const QString mode = qEnvironmentVariable("VELOXA_KEYRING_CHILD");
        if (mode.isEmpty())
            QSKIP("runs only inside the child processes of the bus checks");
        QTemporaryDir dir;
        if (mode == u"unprompted") {
            // A keyring without a default collection: saving must not ask for one.
            auto items = std::make_shared<LibsecretItemStore>(std::chrono::milliseconds(1000));
            SessionStore store(items, service, account, QStringLiteral("label"));
            const QString uuid = store.currentDeviceUUID();
            store.save({uuid, QStringLiteral("t"), QStringLiteral("e")});
            QCOMPARE(store.load()->token, QStringLiteral("t")); // kept in memory
            QCOMPARE(items->add(service, account, QStringLiteral("l"), "x",
                                SecureItemStore::Accessibility::afterFirstUnlockThisDeviceOnly),
                     Status::failure);
            QTest::qWait(500);
            QVERIFY2(!QFileInfo::exists(qEnvironmentVariable("VELOXA_PROMPT_MARKER")),
                     "the keyring was asked to prompt");
            return;
        }
        QLocalServer silent; // accepts and never speaks, like a wedged service
        if (mode == u"silent") {
            QVERIFY(silent.listen(dir.filePath(QStringLiteral("bus"))));
            qputenv("DBUS_SESSION_BUS_ADDRESS",
                    "unix:path=" + dir.filePath(QStringLiteral("bus")).toUtf8());
        } else {
            qputenv("DBUS_SESSION_BUS_ADDRESS",
                    "unix:path=" + dir.filePath(QStringLiteral("none")).toUtf8());
        }
        auto items = std::make_shared<LibsecretItemStore>(std::chrono::milliseconds(700));
        SessionStore store(items, service, account, QStringLiteral("label"));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(store.load(), std::nullopt);
        const QString uuid = store.currentDeviceUUID();
        store.save({uuid, QStringLiteral("t"), QStringLiteral("e")});
        QCOMPARE(store.load()->token, QStringLiteral("t")); // the cache keeps the new state
        // relabel, find, update(+add) twice: every call ends by its deadline
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    }

    void missingBusDegradesQuietly() { runChild(QStringLiteral("absent")); }

    void savingNeverPrompts() {
        // A private bus whose keyring prompter only leaves a mark, and a keyring with no
        // collection yet, as on a desktop that never had one.
        QTemporaryDir dir;
        for (const char* folder : {"services", "run", "data"})
            QDir(dir.path()).mkpath(QLatin1String(folder));
        QFile::setPermissions(dir.filePath(QStringLiteral("run")), QFile::Permissions(0x7000));
        const QString marker = dir.filePath(QStringLiteral("prompted"));
        QFile prompter(
            dir.filePath(QStringLiteral("services/org.gnome.keyring.SystemPrompter.service")));
        QFile fixture(QStringLiteral(VELOXA_PROMPTING_BUS_CONF));
        QFile config(dir.filePath(QStringLiteral("bus.conf")));
        QVERIFY(prompter.open(QIODevice::WriteOnly) && fixture.open(QIODevice::ReadOnly) &&
                config.open(QIODevice::WriteOnly));
        prompter.write("[D-BUS Service]\nName=org.gnome.keyring.SystemPrompter\nExec=/bin/touch " +
                       marker.toUtf8() + "\n");
        config.write(fixture.readAll().replace("@SERVICES@",
                                               dir.filePath(QStringLiteral("services")).toUtf8()));
        prompter.close();
        config.close();
        QProcess child;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELOXA_KEYRING_CHILD"), QStringLiteral("unprompted"));
        env.remove(QStringLiteral("GNOME_KEYRING_CONTROL")); // not the test session's keyring
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.insert(QStringLiteral("VELOXA_PROMPT_MARKER"), marker);
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral("dbus-run-session"),
                    {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--"),
                     QStringLiteral("sh"), QStringLiteral("-c"),
                     QStringLiteral("gnome-keyring-daemon --foreground --components=secrets "
                                    ">/dev/null 2>&1 & keyring=$!; sleep 0.5; \"$0\" childCheck; "
                                    "status=$?; kill $keyring; wait; exit $status"),
                     QCoreApplication::applicationFilePath()});
        if (!child.waitForStarted(5000))
            QSKIP("dbus-run-session is not installed");
        const bool finished = child.waitForFinished(30000);
        QVERIFY2(finished && child.exitCode() == 0, child.readAll().constData());
    }
    void silentBusIsCutOffByTheDeadline() { runChild(QStringLiteral("silent")); }

    void realKeyringRoundTrip() {
        if (!haveSecretService()) {
            if (qEnvironmentVariableIsSet("VELOXA_REQUIRE_KEYRING"))
                QFAIL("no Secret Service answers on the session bus");
            QSKIP("no Secret Service on this session bus (run under scripts/test)");
        }
        LibsecretItemStore items;
        QCOMPARE(items.find(service, account).status, Status::itemNotFound);
        QCOMPARE(items.update(service, account, QByteArray("x"), std::nullopt),
                 Status::itemNotFound);
        QCOMPARE(items.add(service, account, label, "{\"a\":1}",
                           SecureItemStore::Accessibility::afterFirstUnlockThisDeviceOnly),
                 Status::success);
        auto found = items.find(service, account);
        QCOMPARE(found.status, Status::success);
        QCOMPARE(found.data, QByteArray("{\"a\":1}"));
        QCOMPARE(items.update(service, account, QByteArray("{\"b\":2}"), QStringLiteral("new")),
                 Status::success);
        QCOMPARE(items.find(service, account).data, QByteArray("{\"b\":2}"));

        // The session store over it: what one launch saves, the next one reads.
        const QString other = service + QStringLiteral(".session");
        auto shared = std::make_shared<LibsecretItemStore>();
        SessionStore first(shared, other, account, label);
        const QString uuid = first.currentDeviceUUID();
        first.save({uuid, QStringLiteral("token"), QStringLiteral("a@b.c")});
        SessionStore second(shared, other, account, label);
        const auto loaded = second.load();
        QVERIFY(loaded);
        QCOMPARE(*loaded, (SessionState{uuid, QStringLiteral("token"), QStringLiteral("a@b.c")}));
    }

    // What the session store makes of the items it finds and keeps.
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

QTEST_GUILESS_MAIN(TestKeyringStore)
#include "tst_keyringstore.moc"
