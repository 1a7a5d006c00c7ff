#include "app/LogOutput.h"
#include "platform/Bundle.h"
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

// What happens around the model: one client per user, signals, where log lines go, the
// bundle.
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
        // The tunnel category passes at every level, the default one from info up, others
        // only warn or worse; a journal line has its priority and stays one line.
        const struct {
            QtMsgType type;
            const char *category, *message, *line;
            bool journal;
        } lines[] = {
            {QtDebugMsg, "SingboxTunnel", "done", "veloxa: SingboxTunnel: done\n", false},
            {QtCriticalMsg, "SingboxTunnel", "a\nb", "<3>SingboxTunnel: a b\n", true},
            {QtDebugMsg, "default", "chatter", "", false},
            {QtInfoMsg, "default", "activation finished", "<6>activation finished\n", true},
            {QtInfoMsg, "qt.qpa.xcb", "chatter", "", true},
            {QtWarningMsg, "default", "QML: bad binding", "<4>QML: bad binding\n", true}};
        for (const auto& l : lines)
            QCOMPARE(LogOutput::format(l.type, l.category, QString::fromUtf8(l.message), l.journal),
                     QByteArray(l.line));

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

    // The bundle the process reads its identity from.
    void readsTheBuiltBundle() {
        const QString dir = qEnvironmentVariable("VELOXA_BUNDLE_DIR");
        const auto bundle = Bundle::load(dir);
        QVERIFY(bundle);
        QCOMPARE(bundle->stringValue("CFBundleName"), QStringLiteral("Veloxa"));
        QVERIFY(!bundle->bundleIdentifier().isEmpty());
        QVERIFY(bundle->stringValue("AppGroupIdentifier"));
        QVERIFY(bundle->stringValue("CFBundleShortVersionString"));
        QVERIFY(bundle->stringValue("CFBundleVersion"));
        QVERIFY(bundle->bundleURL().toLocalFile().endsWith(QStringLiteral("Veloxa.app/")));
        QVERIFY(QFile::exists(bundle->path(QStringLiteral("Contents/MacOS/veloxa"))));
    }

    void propertyListValues() {
        const QByteArray xml = R"(<?xml version="1.0"?><plist version="1.0"><dict>
            <key>s</key><string>a &amp; b</string><key>i</key><integer>-42</integer>
            <key>b</key><true/><key>r</key><real>1.5</real>
            <key>a</key><array><string>x</string><false/></array>
            <key>d</key><dict><key>k</key><string>v</string></dict></dict></plist>)";
        const auto info = Bundle::parsePropertyList(xml);
        QVERIFY(info);
        QCOMPARE(info->value("s").toString(), QStringLiteral("a & b"));
        QCOMPARE(info->value("i").toLongLong(), -42);
        QCOMPARE(info->value("b").toBool(), true);
        QCOMPARE(info->value("a").toList().size(), 2);
        QCOMPARE(info->value("d").toMap().value("k").toString(), QStringLiteral("v"));

        QString error;
        QVERIFY(!Bundle::parsePropertyList("<plist><array/></plist>", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!Bundle::parsePropertyList("<plist><dict><key>x</key></dict></plist>"));
        QVERIFY(!Bundle::parsePropertyList(
            "<plist><dict><key>x</key><integer>z</integer></dict></plist>"));
        QVERIFY(!Bundle::parsePropertyList("garbage"));
    }

    void missingAndMistypedKeys() {
        const Bundle bundle({{"CFBundleIdentifier", 5}, {"CFBundleName", QStringLiteral("X")}},
                            QUrl::fromLocalFile(QStringLiteral("/tmp/X.app/")));
        QCOMPARE(bundle.bundleIdentifier(), QString());
        QCOMPARE(bundle.stringValue("AppGroupIdentifier"), std::nullopt);
        QCOMPARE(bundle.stringValue("CFBundleName"), QStringLiteral("X"));

        QTemporaryDir dir;
        QVERIFY(!Bundle::load(dir.path())); // no Info.plist
    }
};

QTEST_GUILESS_MAIN(TestProcessEntry)
#include "tst_processentry.moc"
