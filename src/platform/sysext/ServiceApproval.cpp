#include "ServiceApproval.h"

#include <QFileInfo>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

namespace veloxa {

using Reachability = TunnelServiceClient::Reachability;

ServiceApproval::Step ServiceApproval::stepFor(Reachability reachability, bool unitInstalled) {
    switch (reachability) {
    case Reachability::connected:
        return Step::none;
    case Reachability::accessDenied:
        return Step::joinGroup;
    default:
        return unitInstalled ? Step::startService : Step::install;
    }
}

bool ServiceApproval::unitInstalled() {
    for (const char* folder :
         {"/etc/systemd/system/", "/lib/systemd/system/", "/usr/lib/systemd/system/"})
        if (QFileInfo::exists(QString::fromLatin1(folder) + QLatin1String(unitName)))
            return true;
    return false;
}

ServiceApproval::Step ServiceApproval::currentStep() {
    return stepFor(TunnelServiceClient::shared().reachability(), unitInstalled());
}

void ServiceApproval::whenServiceAnswers(std::function<void()> callback) {
    TunnelServiceClient& client = TunnelServiceClient::shared();
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&client, &TunnelServiceClient::connectedChanged, &client,
                                   [connection, callback](bool connected) {
                                       if (!connected)
                                           return;
                                       QObject::disconnect(*connection);
                                       callback();
                                   });
}

void ServiceApproval::startService(std::function<void(std::optional<QString>)> done) {
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(process, &QProcess::finished, process,
                     [process, done](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && code == 0) {
                             TunnelServiceClient::shared().reconnectNow();
                             return done(std::nullopt);
                         }
                         // 126: the prompt was dismissed; 127: not authorised.
                         const QString said = QString::fromLocal8Bit(process->readAll()).trimmed();
                         done(said.isEmpty() ? QStringLiteral("The tunnel service was not started")
                                             : said.left(300));
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         process->deleteLater();
                         done(QStringLiteral("pkexec is not installed; start the service with: "
                                             "sudo systemctl enable --now %1")
                                  .arg(QLatin1String(unitName)));
                     });
    process->start(QStringLiteral("pkexec"), {QStringLiteral("systemctl"), QStringLiteral("enable"),
                                              QStringLiteral("--now"), QLatin1String(unitName)});
}

QString ServiceApproval::joinGroupAdvice() {
    const passwd* pw = ::getpwuid(::getuid());
    const QString user = pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("$USER");
    return joinGroupAdvice(user, TunnelServiceLocation::joinedSinceSessionBegan());
}

QString ServiceApproval::joinGroupAdvice(const QString& user, bool joinedSinceSessionBegan) {
    // Group membership is read when a session begins: joining is not enough by itself.
    if (joinedSinceSessionBegan)
        return QStringLiteral("Your account is in the veloxa group, but this session began "
                              "before it joined. Sign out and sign in again (or restart the "
                              "computer) to use the Veloxa tunnel service.");
    return QStringLiteral("Your account may not use the Veloxa tunnel service yet. Add it to the "
                          "veloxa group:\n\n    sudo adduser %1 veloxa\n\nthen sign out and sign "
                          "in again.")
        .arg(user);
}

} // namespace veloxa
