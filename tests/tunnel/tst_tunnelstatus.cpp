#include "tunnel/TunnelStatus.h"

#include <QTest>

using namespace veloxa;

class TestTunnelStatus : public QObject {
    Q_OBJECT
private slots:
    void rawValuesRoundTrip() {
        for (qint64 raw = 0; raw <= 6; ++raw)
            QCOMPARE(static_cast<qint64>(*tunnelstatus::fromRaw(raw)), raw);
        QCOMPARE(tunnelstatus::fromRaw(7), std::nullopt);
        QCOMPARE(tunnelstatus::fromRaw(-1), std::nullopt);
        QCOMPARE(tunnelstatus::text(TunnelStatus::Activating), QStringLiteral("activating"));
        QCOMPARE(tunnelstatus::text(TunnelStatus::Restarting), QStringLiteral("restarting"));
    }
    void vpnStatusConversion() {
        const TunnelStatus expected[] = {TunnelStatus::Inactive,    TunnelStatus::Inactive,
                                         TunnelStatus::Activating,  TunnelStatus::Active,
                                         TunnelStatus::Reasserting, TunnelStatus::Deactivating};
        for (int raw = 0; raw <= 5; ++raw)
            QCOMPARE(tunnelstatus::fromVPNStatus(raw), expected[raw]);
        QCOMPARE(tunnelstatus::fromVPNStatus(99), TunnelStatus::Inactive);
        QCOMPARE(tunnelstatus::fromVPNStatus(-1), TunnelStatus::Inactive);
        QCOMPARE(tunnelstatus::vpnStatusText(5), QStringLiteral("disconnecting"));
        QCOMPARE(tunnelstatus::vpnStatusText(42), QStringLiteral("unknown(42)"));
    }
};

QTEST_GUILESS_MAIN(TestTunnelStatus)
#include "tst_tunnelstatus.moc"
