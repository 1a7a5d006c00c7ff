#include "app/CommandLine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cstdio>

using namespace veloxa;

namespace {

// A client whose state moves a step per poll: `script` is what each snapshot answers, the
// last one repeating.
struct FakeClient : RemoteClient {
    bool isRunning = true;
    bool startWorks = true;
    std::optional<QString> refusal;
    QStringList script{QStringLiteral("inactive")};
    QString error;
    int polls = 0;
    QStringList calls;

    bool running() override { return isRunning; }
    bool start() override {
        calls << QStringLiteral("start");
        isRunning = startWorks;
        return startWorks;
    }
    std::expected<ClientControl::Snapshot, QString> snapshot() override {
        ClientControl::Snapshot s;
        s.status = script.value(std::min<qsizetype>(polls++, script.size() - 1));
        s.region = QStringLiteral("de");
        s.publicIP = s.status == u"active" ? QStringLiteral("203.0.113.9") : QString();
        s.signedIn = true;
        s.rxBytes = 12884901888; // above 12 GB: never through a 32-bit or double-rounded path
        s.errorMessage = s.status == u"inactive" ? error : QString();
        return s;
    }
    std::optional<QString> request(Action action, const QString& region) override {
        calls << QStringLiteral("%1 %2").arg(int(action)).arg(region).trimmed();
        return refusal;
    }
};

struct Captured {
    std::FILE* file = std::tmpfile();
    ~Captured() { std::fclose(file); }
    QString text() {
        std::fflush(file);
        std::rewind(file);
        QByteArray bytes(4096, '\0');
        bytes.resize(qsizetype(std::fread(bytes.data(), 1, std::size_t(bytes.size()), file)));
        return QString::fromLocal8Bit(bytes);
    }
};

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void outcomes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("calls");
        const QStringList idle{"inactive"}, up{"active"};
        const QStringList coming{"inactive", "activating", "activating", "active"};
        // clang-format off
        QTest::newRow("status") << QStringList{"--status"} << true << up << "" << "" << 0
            << "active de 203.0.113.9\n" << "" << QStringList{};
        QTest::newRow("status, none running") << QStringList{"--status"} << false << idle << "" << "" << 0
            << "not-running\n" << "" << QStringList{};
        QTest::newRow("connect starts the client") << QStringList{"--connect", "ru"} << false << idle << "" << "" << 0
            << "inactive\n" << "" << QStringList{"start", "0 ru"};
        QTest::newRow("connect, selected region") << QStringList{"--connect"} << true << idle << "" << "" << 0
            << "inactive\n" << "" << QStringList{"0"};
        QTest::newRow("connect and wait") << QStringList{"--connect", "--wait", "10"} << true << coming << "" << "" << 0
            << "active de 203.0.113.9\n" << "" << QStringList{"0"};
        QTest::newRow("refused") << QStringList{"--connect", "de"} << true << idle << "Sign-in required" << "" << 1
            << "" << "veloxa: Sign-in required\n" << QStringList{"0 de"};
        QTest::newRow("failed while waiting") << QStringList{"--toggle", "--wait", "10"} << true
            << QStringList{"inactive", "activating", "inactive"} << "" << "engine said no" << 1
            << "" << "veloxa: engine said no\n" << QStringList{"2"};
        QTest::newRow("failed without a reason") << QStringList{"--connect", "--wait", "10"} << true
            << QStringList{"inactive", "activating", "inactive"} << "" << "" << 1
            << "" << "veloxa: The connection could not be made\n" << QStringList{"0"};
        QTest::newRow("wait runs out") << QStringList{"--disconnect", "--wait", "1"} << true << up << "" << "" << 3
            << "active de 203.0.113.9\n" << "veloxa: Waiting ran out\n" << QStringList{"1"};
        QTest::newRow("toggle while up disconnects") << QStringList{"--toggle", "--wait", "5"} << true
            << QStringList{"active", "deactivating", "inactive"} << "" << "" << 0 << "inactive\n" << "" << QStringList{"2"};
        // clang-format on
        for (const auto& bad :
             {QStringList{"--connect", "fr"}, QStringList{"--status", "--toggle"},
              QStringList{"--status", "--wait", "3"}, QStringList{"--wait", "x", "--toggle"},
              QStringList{"--json"}, QStringList{"--toggle", "--bogus"},
              QStringList{"--conect", "de"}, QStringList{"--toggle", "--wait", "-1"},
              QStringList{"--toggle", "--wait"}, QStringList{"--connect", "de", "--connect"}})
            QTest::newRow(qPrintable(QStringLiteral("bad: ") + bad.join(u' ')))
                << bad << true << idle << ""
                << "" << 2 << ""
                << "Usage:" << QStringList{};
    }
    void outcomes() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, running);
        QFETCH(QStringList, script);
        QFETCH(QString, refusal);
        QFETCH(QString, error);
        QFETCH(int, exit);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, calls);
        FakeClient client;
        client.isRunning = running;
        client.script = script;
        client.error = error;
        if (!refusal.isEmpty())
            client.refusal = refusal;
        qint64 now = 0;
        Captured stdoutText, stderrText;
        CommandLine cli(client, {[&] { return now; }, [&](int ms) { now += ms; }}, stdoutText.file,
                        stderrText.file);
        QVERIFY(CommandLine::isCommand(arguments)); // never the window, misspelt or not
        QCOMPARE(cli.run(arguments), exit);
        QCOMPARE(stdoutText.text(), out);
        QVERIFY2(stderrText.text().startsWith(err), qPrintable(stderrText.text()));
        QCOMPARE(client.calls, calls);
        QVERIFY(now <= 10000 + CommandLine::pollMs); // waits no longer than asked
    }

    void theWindowsOwnSwitchesOpenIt() {
        for (const QStringList& arguments : {QStringList{}, QStringList{"--hidden"},
                                             QStringList{"--platform=offscreen", "--self-test"}})
            QVERIFY(!CommandLine::isCommand(arguments));
    }

    void jsonCarriesExactCounters() {
        FakeClient client;
        client.script = {QStringLiteral("active")};
        Captured out, err;
        CommandLine cli(client, {[] { return qint64(0); }, [](int) {}}, out.file, err.file);
        QCOMPARE(cli.run({"--status", "--json"}), 0);
        const QJsonObject object = QJsonDocument::fromJson(out.text().toUtf8()).object();
        QCOMPARE(object.value("status").toString(), QStringLiteral("active"));
        QCOMPARE(object.value("publicIP").toString(), QStringLiteral("203.0.113.9"));
        QCOMPARE(object.value("rxBytes").toInteger(), qint64(12884901888));
        QVERIFY(!object.contains("token") && !object.contains("email"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
