#include "app/LogOutput.h"
#include "platform/GraphicsBackend.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"

#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace veloxa;

// What happens around the model: one client per user, signals, where log lines go.
class TestProcessEntry : public QObject {
    Q_OBJECT

private slots:
    void secondStartHandsOver() {
        QTemporaryDir dir;
        SingleInstance first(dir.path(), "veloxa-client");
        QVERIFY(first.claim());
        QSignalSpy shown(&first, &SingleInstance::activationRequested);

        // A later process, here a thread: it cannot claim and asks the first to show.
        std::atomic<int> claimed = -1, handedOver = -1;
        std::thread later([&] {
            SingleInstance second(dir.path(), "veloxa-client");
            claimed = second.claim();
            handedOver = second.handOver(5000, QStringLiteral("wayland-token-42"));
        });
        QTRY_COMPARE(handedOver.load(), 1);
        later.join();
        QCOMPARE(claimed.load(), 0);
        QCOMPARE(shown.size(), 1);
        // The desktop's activation token travels with the hand-over.
        QCOMPARE(shown.first().first().toString(), QStringLiteral("wayland-token-42"));

        // Stray bytes on the socket show nothing and break nothing.
        QLocalSocket stray;
        stray.connectToServer(dir.filePath("veloxa-client.sock"));
        QVERIFY(stray.waitForConnected(2000));
        stray.write(QByteArray(1000, 'x'));
        QTRY_COMPARE(stray.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(QFileInfo(dir.filePath("veloxa-client.sock")).permissions() &
                     (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup),
                 QFile::Permissions());
    }

    void leftoversOfACrashedClient() {
        QTemporaryDir dir;
        // A lock of a process that is gone and its socket file: the next start takes over.
        const pid_t child = ::fork();
        if (child == 0) {
            QLockFile held(dir.filePath("veloxa-client.lock"));
            ::_exit(held.tryLock(0) ? 0 : 1); // ends holding it, as a crash would
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QFile::exists(dir.filePath("veloxa-client.lock")));
        QFile socket(dir.filePath("veloxa-client.sock"));
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();
        SingleInstance next(dir.path(), "veloxa-client");
        QVERIFY(next.claim());
        QSignalSpy shown(&next, &SingleInstance::activationRequested);
        std::thread later([&] { SingleInstance(dir.path(), "veloxa-client").handOver(5000); });
        QTRY_COMPARE(shown.size(), 1);
        later.join();

        // Nobody answering: the hand-over gives up instead of hanging.
        QTemporaryDir empty;
        QVERIFY(!SingleInstance(empty.path(), "veloxa-client").handOver(200));
        // No usable runtime directory: the client runs rather than refusing to start.
        QVERIFY(SingleInstance("/dev/null/veloxa", "veloxa-client").claim());
        // A client for another service is a separate instance.
        QVERIFY(SingleInstance(dir.path(), "veloxa-client-other").claim());
    }

    void terminationSignalsReachTheEventLoop() {
        TerminationSignals handler;
        QSignalSpy received(&handler, &TerminationSignals::received);
        ::raise(SIGTERM);
        ::raise(SIGINT);
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received[0][0].toInt(), SIGTERM);
        QCOMPARE(received[1][0].toInt(), SIGINT);
    }

    void renderNodeDecidesTheRenderer() {
        QTemporaryDir dri;
        QVERIFY(!GraphicsBackend::hasRenderNode(dri.path()));
        QVERIFY(!GraphicsBackend::hasRenderNode(dri.filePath("missing")));
        QFile card(dri.filePath("card0")); // a display node alone renders nothing
        QVERIFY(card.open(QIODevice::WriteOnly));
        QVERIFY(!GraphicsBackend::hasRenderNode(dri.path()));
        QFile node(dri.filePath("renderD128"));
        QVERIFY(node.open(QIODevice::WriteOnly));
        QVERIFY(GraphicsBackend::hasRenderNode(dri.path()));
    }

    void logLines() {
        // The tunnel category passes at every level; others only warn or worse.
        QCOMPARE(LogOutput::format(QtDebugMsg, "SingboxTunnel", "stop: done", false),
                 QByteArray("veloxa: SingboxTunnel: stop: done\n"));
        QCOMPARE(LogOutput::format(QtCriticalMsg, "SingboxTunnel", "a\nb", true),
                 QByteArray("<3>SingboxTunnel: a b\n"));
        QCOMPARE(LogOutput::format(QtDebugMsg, "default", "chatter", false), QByteArray());
        QCOMPARE(LogOutput::format(QtInfoMsg, "default",
                                   "System extension activation finished: "
                                   "completed",
                                   true),
                 QByteArray("<6>System extension activation finished: completed\n"));
        QCOMPARE(LogOutput::format(QtInfoMsg, "qt.qpa.xcb", "chatter", true), QByteArray());
        QCOMPARE(LogOutput::format(QtWarningMsg, "default", "QML: bad binding", true),
                 QByteArray("<4>QML: bad binding\n"));

        // The journal is used only when stderr is the stream systemd named.
        struct stat info = {};
        QVERIFY(::fstat(2, &info) == 0);
        qputenv("JOURNAL_STREAM",
                QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(info.st_ino));
        QVERIFY(LogOutput::stderrIsJournal());
        qputenv("JOURNAL_STREAM", QByteArray::number(quint64(info.st_dev)) + ":1");
        QVERIFY(!LogOutput::stderrIsJournal());
        qputenv("JOURNAL_STREAM", "garbage");
        QVERIFY(!LogOutput::stderrIsJournal());
        qunsetenv("JOURNAL_STREAM");
        QVERIFY(!LogOutput::stderrIsJournal());
    }
};

QTEST_GUILESS_MAIN(TestProcessEntry)
#include "tst_processentry.moc"
