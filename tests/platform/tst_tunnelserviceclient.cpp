#include "platform/netext/TunnelServiceClient.h"
#include "support/Await.h"
#include "support/TunnelServiceProcess.h"

#include <QLocalServer>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

using namespace veloxa;
using Reachability = TunnelServiceClient::Reachability;

namespace {
// Run as another user by the tests below: prints what the client makes of the socket.
int probe(const QString& socketPath) {
    TunnelServiceClient client(socketPath);
    (void)QTest::qWaitFor([&] { return client.reachability() != Reachability::connecting; }, 5000);
    std::printf("%d %s\n", int(client.reachability()), qPrintable(client.lastError()));
    return 0;
}

// This test program as another user, in no group of ours (as a session that began before
// the user joined one): `--probe SOCKET` or `--look-up PATH`.
QString asUser(uid_t uid, const QStringList& arguments) {
    QProcess process;
    TunnelServiceProcess::runAsUser(process, uid);
    process.start(QCoreApplication::applicationFilePath(), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
} // namespace

// Where the client looks for the tunnel service, and whom it believes there.
class TestTunnelServiceClient : public QObject {
    Q_OBJECT

private slots:
    void findsTheServiceAnewAndNeverInASharedFolder() {
        QTemporaryDir runtime;
        qunsetenv("VELOXA_TUNNEL_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        TunnelServiceClient client; // started while nothing runs
        QTRY_COMPARE(client.reachability(), Reachability::notRunning);
        QCOMPARE(client.lastError(), TunnelServiceClient::notRunningMessage());

        TunnelServiceProcess service;
        service.setRuntimeDir(runtime.filePath(QStringLiteral("veloxa")));
        QVERIFY(service.start());
        client.reconnectNow();
        QTRY_VERIFY(client.isConnected());
        QCOMPARE(client.location().runtimeDir, runtime.filePath(QStringLiteral("veloxa")));

        // No runtime folder: nowhere to look, and /tmp is never a fallback.
        qunsetenv("XDG_RUNTIME_DIR");
        const auto nowhere = TunnelServiceLocation::current();
        QVERIFY(nowhere.runtimeDir.isEmpty());
        QVERIFY(nowhere.problem.contains(QStringLiteral("XDG_RUNTIME_DIR")));
    }

    void theLargestReplyFits() {
        QTemporaryDir dir;
        QLocalServer fake;
        QVERIFY(fake.listen(dir.filePath(QStringLiteral("tunnel.sock"))));
        // Root's loadAll with every configuration at its size limit.
        nlohmann::json list = nlohmann::json::array();
        for (int i = 0; i < control::maxConfigurations; ++i)
            list.push_back({{"identifier", std::to_string(i)},
                            {"status", 1},
                            {"pad", std::string(control::maxConfigurationBytes, 'x')}});
        connect(&fake, &QLocalServer::newConnection, this, [&] {
            QLocalSocket* s = fake.nextPendingConnection();
            connect(s, &QLocalSocket::readyRead, s, [s, &list] {
                while (s->canReadLine()) {
                    const auto id = nlohmann::json::parse(s->readLine().toStdString())["id"];
                    const nlohmann::json reply{{"id", id}, {"ok", true}, {"configurations", list}};
                    s->write(QByteArray::fromStdString(reply.dump()) + '\n');
                }
            });
        });
        TunnelServiceClient client(dir.filePath(QStringLiteral("tunnel.sock")));
        const nlohmann::json loadAll{{"op", "loadAll"}};
        const auto reply = awaitCallback<TunnelServiceClient::Reply>(
            [&](auto done) { client.send(loadAll, done); }, 10000);
        QVERIFY(reply && reply->has_value());
        QCOMPARE((**reply)["configurations"].size(), std::size_t(control::maxConfigurations));
        QVERIFY(client.isConnected());
    }

    void someoneElsesServiceGetsNothing() {
        if (::geteuid() != 0)
            QSKIP("needs root to run a service as another user");
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFile::Permissions(0x7777));
        const QString path = dir.filePath(QStringLiteral("tunnel.sock"));
        // A user got there first and listens, recording what arrives.
        QProcess impostor;
        TunnelServiceProcess::runAsUser(impostor, 60003);
        impostor.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral("-c"),
                        QStringLiteral("import socket,sys,time\n"
                                       "s=socket.socket(socket.AF_UNIX);s.bind(sys.argv[1]);"
                                       "s.listen();print('up',flush=True)\n"
                                       "c,_=s.accept();c.settimeout(2)\n"
                                       "try: print(len(c.recv(65536)),flush=True)\n"
                                       "except OSError: print(0,flush=True)\n"),
                        path});
        QVERIFY(impostor.waitForReadyRead(5000));
        TunnelServiceClient client(path);
        const auto reply = awaitCallback<TunnelServiceClient::Reply>([&](auto done) {
            client.send({{"op", "save"}, {"configuration", {{"secret", "credentials"}}}}, done);
        });
        QCOMPARE(client.reachability(), Reachability::untrustedPeer);
        QVERIFY(client.lastError().contains(QStringLiteral("another user (uid 60003)")));
        QVERIFY(reply && !reply->has_value());
        QVERIFY(impostor.waitForFinished(5000));
        QCOMPARE(impostor.readAllStandardOutput().split('\n').value(1), QByteArray("0"));
    }

    void aUserOutsideTheGroupIsToldHowToJoin() {
        if (::geteuid() != 0)
            QSKIP("needs root to try as another user");
        TunnelServiceProcess service;
        service.setSystemMode(QStringLiteral("root"));
        QVERIFY(service.start());
        const QString answer = asUser(60004, {QStringLiteral("--probe"), service.controlSocket()});
        QCOMPARE(answer.section(u' ', 0, 0).toInt(), int(Reachability::accessDenied));
        QVERIFY2(answer.contains(QStringLiteral("add yourself to the veloxa group")),
                 qPrintable(answer));
    }

    // The system service's folder (0750, group veloxa) hides its socket from non-members:
    // that is no access, never "not running" with a private service looked for instead.
    void whereTheServiceIsLookedFor_data() {
        QTest::addColumn<int>("systemSocket"); // what looking its socket up gave
        QTest::addColumn<QString>("userRuntime");
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<bool>("denied");
        QTest::newRow("system service") << 0 << "/run/user/7"
                                        << "/run/veloxa" << false;
        QTest::newRow("none") << ENOENT << "/run/user/7"
                              << "/run/user/7/veloxa" << false;
        QTest::newRow("not for this user") << EACCES << "/run/user/7"
                                           << "/run/veloxa" << true;
        QTest::newRow("nowhere to look") << ENOENT << ""
                                         << "" << false;
    }
    void whereTheServiceIsLookedFor() {
        QFETCH(int, systemSocket);
        QFETCH(QString, userRuntime);
        QFETCH(QString, runtimeDir);
        QFETCH(bool, denied);
        const auto location = TunnelServiceLocation::choose({}, systemSocket, userRuntime);
        QCOMPARE(location.runtimeDir, runtimeDir);
        QCOMPARE(location.accessDenied, denied);
        if (!runtimeDir.isEmpty())
            QCOMPARE(location.trustedOwners,
                     QList<uid_t>{runtimeDir == u"/run/veloxa" ? 0 : ::getuid()});
    }
    void aFolderTheUserMayNotSearchIsNoAccess() {
        if (::geteuid() != 0)
            QSKIP("needs root to try as another user");
        QTemporaryDir closed; // 0700, root's
        QFile socket(closed.filePath(QStringLiteral("tunnel.sock")));
        QVERIFY(socket.open(QIODevice::WriteOnly));
        QCOMPARE(asUser(60004, {QStringLiteral("--look-up"), socket.fileName()}), QString("1"));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--probe")
        return probe(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--look-up") // 1: no access
        return std::printf("%d\n", TunnelServiceLocation::choose(
                                       {}, TunnelServiceLocation::lookUp(argv[2]), "/run/user/1")
                                       .accessDenied) < 0;
    TestTunnelServiceClient test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tunnelserviceclient.moc"
