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
} // namespace

QStringList ModelPreview::names() {
    return {QStringLiteral("signed-out"),      QStringLiteral("signed-in"),
            QStringLiteral("connecting"),      QStringLiteral("connected"),
            QStringLiteral("approval"),        QStringLiteral("error"),
            QStringLiteral("expired"),         QStringLiteral("email-step"),
            QStringLiteral("code-step"),       QStringLiteral("invalid-email"),
            QStringLiteral("revoked"),         QStringLiteral("account-active"),
            QStringLiteral("account-expired"), QStringLiteral("chooser")};
}

bool ModelPreview::apply(AppState& s, const QString& name) {
    if (!names().contains(name))
        return false;
    const QString thisDevice = s.currentDeviceUUID();
    auto signIn = [&](const QString& status) {
        s.applyLoginResult(LoginResult{
            QStringLiteral("preview-token"),
            QStringLiteral("anna@example.com"),
            status,
            status == u"active" ? QStringLiteral("2026-03-14T12:00:00Z")
                                : QStringLiteral("2026-11-02T12:00:00Z"),
            {device(QStringLiteral("A1B2C3D4-0000-4000-8000-000000000001"),
                    QStringLiteral("Office iMac — macOS 14.5"), QStringLiteral("macos-arm64")),
             device(QStringLiteral("A1B2C3D4-0000-4000-8000-000000000002"),
                    QStringLiteral("Travel MacBook — macOS 15.1"), QStringLiteral("macos-arm64")),
             device(thisDevice, QStringLiteral("studio — Debian GNU/Linux 12"),
                    QStringLiteral("linux-x86_64"))},
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
    if (name == u"chooser") {
        s.setSelectedRootTab(AppState::RootTab::User);
        QList<DeviceSummary> five;
        const char* names[] = {"Office iMac", "Travel MacBook", "Studio", "Kitchen Mac mini",
                               "Old MacBook Air"};
        for (int i = 0; i < 5; ++i)
            five.append(device(QStringLiteral("B000000%1-0000-4000-8000-000000000000").arg(i),
                               QString::fromLatin1(names[i]), QStringLiteral("macos-arm64")));
        s.setPendingDeviceLimit(DeviceLimitResult{QStringLiteral("r"), 5, five});
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
    } else if (name == u"connected") {
        s.connection().setTunnelStatus(TunnelStatus::Active);
        s.connection().setSessionStartedAt(now.addSecs(-3725));
        s.connection().setSessionRxBytes(1572864);
        s.connection().setSessionTxBytes(1536);
        s.connection().setPublicIP(QStringLiteral("203.0.113.10"));
        s.connection().setConnectedRegionLabel(QStringLiteral("Germany · Frankfurt"));
    } else if (name == u"approval") {
        s.setSystemExtensionNeedsApproval(true);
    } else if (name == u"error") {
        s.connection().setVpnErrorMessage(
            QStringLiteral("The tunnel engine \"sing-box\" was not found on this computer"));
    }
    return true;
}

} // namespace veloxa
