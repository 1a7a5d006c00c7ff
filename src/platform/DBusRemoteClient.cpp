#include "DBusRemoteClient.h"

#include "ClientBusService.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

namespace veloxa {

namespace {
QString notRunning() {
    return QCoreApplication::translate("CommandLine", "Veloxa is not running");
}
} // namespace

DBusRemoteClient::DBusRemoteClient(QDBusConnection bus, QStringList startCommand)
    : m_bus(std::move(bus)), m_startCommand(std::move(startCommand)) {}

bool DBusRemoteClient::running() {
    return m_bus.isConnected() &&
           m_bus.interface()->isServiceRegistered(QLatin1String(ClientBusService::serviceName));
}

bool DBusRemoteClient::start() {
    if (!m_bus.isConnected() || m_startCommand.isEmpty())
        return false;
    // The client outlives this command: it must not hold the caller's output open (a script
    // reading `$(veloxa --connect)` would wait for the client to end).
    QProcess process;
    process.setProgram(m_startCommand.first());
    process.setArguments(m_startCommand.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached())
        return false;
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!deadline.hasExpired()) {
        if (running())
            return true;
        QThread::msleep(100);
    }
    return false;
}

std::expected<ClientControl::Snapshot, QString> DBusRemoteClient::snapshot() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(ClientBusService::serviceName), QLatin1String(ClientBusService::objectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    call << QLatin1String(ClientBusService::interfaceName);
    const QDBusReply<QVariantMap> reply = m_bus.call(call, QDBus::Block, snapshotTimeoutMs);
    if (!reply.isValid())
        return std::unexpected(reply.error().type() == QDBusError::ServiceUnknown
                                   ? notRunning()
                                   : reply.error().message());
    const QVariantMap p = reply.value();
    ClientControl::Snapshot s;
    s.status = p.value(QStringLiteral("Status")).toString();
    s.region = p.value(QStringLiteral("Region")).toString();
    s.publicIP = p.value(QStringLiteral("PublicIP")).toString();
    s.sessionStartedAt = p.value(QStringLiteral("SessionStartedAt")).toLongLong();
    s.rxBytes = p.value(QStringLiteral("RxBytes")).toULongLong();
    s.txBytes = p.value(QStringLiteral("TxBytes")).toULongLong();
    s.signedIn = p.value(QStringLiteral("SignedIn")).toBool();
    s.errorMessage = p.value(QStringLiteral("ErrorMessage")).toString();
    return s;
}

std::optional<QString> DBusRemoteClient::request(Action action, const QString& region) {
    const QString method = action == Action::connect      ? QStringLiteral("Connect")
                           : action == Action::disconnect ? QStringLiteral("Disconnect")
                                                          : QStringLiteral("Toggle");
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(ClientBusService::serviceName), QLatin1String(ClientBusService::objectPath),
        QLatin1String(ClientBusService::interfaceName), method);
    if (action == Action::connect)
        call << region;
    // A connect may wait for the account to load in a client that just started.
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, ClientControl::accountWaitMs + 10000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
                   ? notRunning()
                   : reply.errorMessage();
    return std::nullopt;
}

} // namespace veloxa
