#include "ModelPreview.h"

#include "AppState.h"

namespace veloxa {

namespace {
DeviceSummary device(const QString& uuid, const QString& name, const QString& platform) {
    return {uuid,
            name,
            platform,
            {QStringLiteral("de"), QStringLiteral("ru")},
            QStringLiteral("2025-01-01T10:00:00Z"),
            std::nullopt};
}

// Five devices with 48-character names that differ only at their two ends; the one for
// `thisDevice` (when given) comes third, as the service may send it.
QList<DeviceSummary> fiveLongNamedDevices(const QString& thisDevice) {
    const char* const names[] = {"Konstantina's MacBook Pro 14-inch — macOS 15.1.1",
                                 "Konstantina's MacBook Pro 14-inch — macOS 14.7.2",
                                 "Konstantina's ThinkPad X1 Carbon — Debian 12.8.0",
                                 "Konstantina's ThinkPad X13 Gen 5 — Kubuntu 24.04",
                                 "The family Mac mini, living room — macOS 15.1.12"};
    QList<DeviceSummary> out;
    for (int i = 0; i < 5; ++i) {
        const bool onLinux = i == 2 || i == 3;
        out.append(
            device(i == 2 && !thisDevice.isEmpty()
                       ? thisDevice
                       : QStringLiteral("C000000%1-0000-4000-8000-000000000000").arg(i),
                   QString::fromUtf8(names[i]),
                   onLinux ? QStringLiteral("linux-x86_64") : QStringLiteral("macos-arm64")));
    }
    return out;
}
} // namespace

QStringList ModelPreview::names() {
    return {QStringLiteral("signed-out"),
            QStringLiteral("signed-in"),
            QStringLiteral("connecting"),
            QStringLiteral("connected"),
            QStringLiteral("ipv6-connected"),
            QStringLiteral("reconnecting"),
            QStringLiteral("approval"),
            QStringLiteral("error"),
            QStringLiteral("long-error"),
            QStringLiteral("expired"),
            QStringLiteral("email-step"),
            QStringLiteral("code-step"),
            QStringLiteral("invalid-email"),
            QStringLiteral("revoked"),
            QStringLiteral("account-active"),
            QStringLiteral("account-expired"),
            QStringLiteral("account-long-email"),
            QStringLiteral("account-five-devices"),
            QStringLiteral("chooser"),
            QStringLiteral("chooser-long-names")};
}

bool ModelPreview::apply(AppState& s, const QString& name) {
    if (!names().contains(name))
        return false;
    const QString thisDevice = s.currentDeviceUUID();
    auto signIn = [&](const QString& status) {
        QString email = QStringLiteral("anna@example.com");
        QList<DeviceSummary> devices{
            device(QStringLiteral("A1B2C3D4-0000-4000-8000-000000000001"),
                   QStringLiteral("Office iMac — macOS 14.5"), QStringLiteral("macos-arm64")),
            device(QStringLiteral("A1B2C3D4-0000-4000-8000-000000000002"),
                   QStringLiteral("Travel MacBook — macOS 15.1"), QStringLiteral("macos-arm64")),
            device(thisDevice, QStringLiteral("studio — Debian GNU/Linux 12"),
                   QStringLiteral("linux-x86_64"))};
        if (name == u"account-long-email") // 64 characters
            email =
                QStringLiteral("konstantina.papadopoulou-vasilakis.research@mail.example-uni.org");
        if (name == u"account-five-devices")
            devices = fiveLongNamedDevices(thisDevice);
        s.applyLoginResult(
            LoginResult{QStringLiteral("preview-token"),
                        email,
                        status,
                        status == u"active" ? QStringLiteral("2026-03-14T12:00:00Z")
                                            : QStringLiteral("2026-11-02T12:00:00Z"),
                        devices,
                        {DeviceConfig{QStringLiteral("de"), QStringLiteral("Germany · Frankfurt"),
                                      QStringLiteral("{}"), QStringLiteral("de.json")},
                         DeviceConfig{QStringLiteral("ru"), QStringLiteral("Russia · Moscow"),
                                      QStringLiteral("{}"), QStringLiteral("ru.json")}}});
    };
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (name == u"signed-out" || name == u"email-step") {
        s.setSelectedRootTab(name == u"email-step" ? AppState::RootTab::User
                                                   : AppState::RootTab::Vpn);
        return true;
    }
    if (name == u"code-step" || name == u"invalid-email" || name == u"revoked") {
        s.setSelectedRootTab(AppState::RootTab::User);
        if (name == u"code-step") {
            s.setLoginEmail(QStringLiteral("anna@example.com"));
            s.setLoginStage(AppState::LoginStage::Code);
            s.setLoginCode(QStringLiteral("4815"));
            s.setOtpCooldownEndsAt(now.addSecs(42));
        } else if (name == u"invalid-email") {
            s.setLoginEmail(QStringLiteral("anna@example"));
            s.setAuthErrorMessage(QStringLiteral("Enter a valid email address"));
        } else {
            s.account().setSessionRevokedMessage(
                QStringLiteral("This device was disconnected from the account. Sign in again."));
        }
        return true;
    }
    if (name == u"chooser" || name == u"chooser-long-names") {
        s.setSelectedRootTab(AppState::RootTab::User);
        QList<DeviceSummary> five;
        const char* names[] = {"Office iMac", "Travel MacBook", "Studio", "Kitchen Mac mini",
                               "Old MacBook Air"};
        for (int i = 0; i < 5; ++i)
            five.append(device(QStringLiteral("B000000%1-0000-4000-8000-000000000000").arg(i),
                               QString::fromLatin1(names[i]), QStringLiteral("macos-arm64")));
        s.setPendingDeviceLimit(DeviceLimitResult{
            QStringLiteral("r"), 5, name == u"chooser" ? five : fiveLongNamedDevices({})});
        return true;
    }
    signIn(name == u"expired" || name == u"account-expired" ? QStringLiteral("expired")
                                                            : QStringLiteral("active"));
    if (name.startsWith(u"account-")) {
        s.setSelectedRootTab(AppState::RootTab::User);
        return true;
    }
    if (name == u"connecting") {
        s.connection().setTunnelStatus(TunnelStatus::Activating);
        s.connection().setSessionStartedAt(now);
        s.connection().setConnectedRegionLabel(QStringLiteral("Germany · Frankfurt"));
    } else if (name == u"connected" || name == u"reconnecting") {
        s.connection().setTunnelStatus(name == u"connected" ? TunnelStatus::Active
                                                            : TunnelStatus::Reasserting);
        s.connection().setSessionStartedAt(now.addSecs(-3725));
        s.connection().setSessionRxBytes(1572864);
        s.connection().setSessionTxBytes(1536);
        s.connection().setPublicIP(QStringLiteral("203.0.113.10"));
        s.connection().setConnectedRegionLabel(QStringLiteral("Germany · Frankfurt"));
    } else if (name == u"ipv6-connected") {
        // Counters above 12 GB and the longest form of an IPv6 address.
        s.setSelectedRegion(AppState::Region::Ru);
        s.connection().setTunnelStatus(TunnelStatus::Active);
        s.connection().setSessionStartedAt(now.addSecs(-(26 * 3600 + 17 * 60 + 3)));
        s.connection().setSessionRxBytes(13421772800ULL); // 12.5 GB
        s.connection().setSessionTxBytes(3607772529ULL);  // 3.36 GB
        s.connection().setPublicIP(QStringLiteral("2001:db8:1234:5678:9abc:def0:1234:5678"));
        s.connection().setConnectedRegionLabel(QStringLiteral("Russia · Moscow"));
    } else if (name == u"approval") {
        s.setSystemExtensionNeedsApproval(true);
    } else if (name == u"error") {
        s.connection().setVpnErrorMessage(
            QStringLiteral("The tunnel engine \"sing-box\" was not found on this computer"));
    } else if (name == u"long-error") {
        s.connection().setVpnErrorMessage(QStringLiteral(
            "The tunnel stopped while starting: the engine could not open the network device "
            "because another program holds it. Close other VPN clients or restart the tunnel "
            "service, then connect again. The service's last words were: device or resource "
            "busy (code 16)."));
    }
    return true;
}

} // namespace veloxa
