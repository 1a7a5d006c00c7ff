#include "PeerPolicy.h"

#include <QTest>

#include <grp.h>
#include <sys/socket.h>
#include <unistd.h>

using veloxa::tunnel::PeerPolicy;

// Who may use the tunnel service's sockets.
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
};

QTEST_GUILESS_MAIN(TestPeerPolicy)
#include "tst_peerpolicy.moc"
