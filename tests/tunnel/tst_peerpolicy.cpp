#include "EnginePolicy.h"
#include "PeerPolicy.h"

#include <QTest>

#include <grp.h>
#include <sys/socket.h>
#include <unistd.h>

using veloxa::tunnel::EnginePolicy;
using veloxa::tunnel::PeerPolicy;

// Who may use the tunnel service's sockets, and what they may ask of its engine.
class TestPeerPolicy : public QObject {
    Q_OBJECT
private slots:
    void userModeAdmitsOnlyTheSameUser() {
        const PeerPolicy policy = PeerPolicy::forUser();
        QVERIFY(policy.allowsUser(::getuid(), ::getgid()));
        QVERIFY(!policy.allowsUser(::getuid() + 4242, ::getgid()));
        if (::getuid() != 0)
            QVERIFY(!policy.allowsUser(0, 0)); // not even root: the service is the user's
        int pair[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        QVERIFY(policy.allows(pair[0])); // our own process on the other end
        ::close(pair[0]);
        ::close(pair[1]);
        QVERIFY(!policy.allows(-1)); // no credentials, no access
    }

    void systemModeAdmitsRootAndTheGroup() {
        // A group every machine has stands in for "veloxa".
        const group* g = ::getgrnam("daemon");
        QVERIFY(g);
        const PeerPolicy policy = PeerPolicy::forSystem(QStringLiteral("daemon"));
        QCOMPARE(policy.groupId(), long(g->gr_gid));
        QVERIFY(policy.allowsUser(0, 0));
        QVERIFY(policy.allowsUser(54321, g->gr_gid)); // primary group
        QVERIFY(!policy.allowsUser(54321, 54321));    // unknown user, other group
        const PeerPolicy missing = PeerPolicy::forSystem(QStringLiteral("no-such-group-here"));
        QCOMPARE(missing.groupId(), -1L);
        QVERIFY(!missing.allowsUser(54321, 54321));
        QVERIFY(missing.allowsUser(0, 0));
    }

    // Engine documents refused (the error names where) or accepted (no refusal).
    void engineDocuments_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("refusal"); // part of the error; empty: accepted
        const QByteArray tun = R"("inbounds":[{"type":"tun","interface_name":"v0"}])";
        auto row = [&](const char* name, const QByteArray& rest, const char* refusal) {
            QTest::newRow(name) << "{" + rest + "," + tun + "}" << QString::fromUtf8(refusal);
        };
        QTest::newRow("one inbound, not a list")
            << QByteArray(R"({"inbounds":{"type":"tun","interface_name":"v0"}})") << QString();
        QTest::newRow("not an object") << QByteArray("[]") << "not a JSON object";
        QTest::newRow("deeper than any document")
            << "{\"log\":" + QByteArray(40, '[') + QByteArray(40, ']') + "}"
            << "not a JSON object";
        row("a key written with escapes, twice", R"("log":{},"\u006cog":{})", "\"log\" more");
        row("a key twice in a list's object",
            R"("outbounds":[{"type":"block"},{"type":"dns","tag":"a","tag":"b"}])",
            "\"outbounds[1].tag\" more");
        row("a number for a name", R"("log":{"level":5})", "\"log.level\"");
        row("port out of range",
            R"("outbounds":[{"type":"trojan","server":"a","server_port":70000}])",
            "\"outbounds[0].server_port\"");
        row("transport path not an HTTP path",
            R"("outbounds":[{"type":"vless","transport":{"type":"ws","path":"../x"}}])",
            "\"outbounds[0].transport.path\"");
        row("DNS server found by DHCP", R"("dns":{"servers":[{"address":"dhcp://auto"}]})",
            "\"dns.servers[0].address\"");
        row("outbound of a type not listed", R"("outbounds":[{"type":"tor"}])",
            "\"outbounds[0].type\"");
        row("rule that nests rules", R"("route":{"rules":[{"type":"logical","rules":[]}]})",
            "\"route.rules[0].type\"");
        QTest::newRow("no tun") << QByteArray(R"({"outbounds":[]})") << "exactly one tun inbound";
        QTest::newRow("interface name as a path")
            << QByteArray(R"({"inbounds":[{"type":"tun","interface_name":"../x"}]})")
            << "\"interface_name\" of 1 to 15";
    }
    void engineDocuments() {
        QFETCH(QByteArray, document);
        QFETCH(QString, refusal);
        const auto checked = EnginePolicy::check(document.toStdString());
        if (refusal.isEmpty())
            QVERIFY2(checked, qPrintable(checked.error()));
        else
            QVERIFY2(!checked && checked.error().contains(refusal),
                     qPrintable(checked ? QStringLiteral("accepted") : checked.error()));
    }
};

QTEST_GUILESS_MAIN(TestPeerPolicy)
#include "tst_peerpolicy.moc"
