#include "ClientBusService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QPointer>

#include <unistd.h>

namespace veloxa {

namespace {
Q_LOGGING_CATEGORY(lcBus, "veloxa.bus")

const QString refusedError = QStringLiteral("net.veloxa.Client1.Error.Refused");
const QString unknownRegionError = QStringLiteral("net.veloxa.Client1.Error.UnknownRegion");
} // namespace

ClientBusService::ClientBusService(ClientControl& control, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_control(control), m_bus(std::move(bus)), m_published(control.snapshot()) {
    m_flush.setSingleShot(true);
    connect(&m_flush, &QTimer::timeout, this, &ClientBusService::flush);
    m_sinceCounters.start();
    connect(&m_control, &ClientControl::changed, this, [this](bool countersOnly) {
        if (!countersOnly)
            m_flush.start(0);
        else if (!m_flush.isActive())
            m_flush.start(std::max<qint64>(0, counterIntervalMs - m_sinceCounters.elapsed()));
    });
}

ClientBusService::~ClientBusService() {
    if (m_registered) {
        m_bus.unregisterService(QLatin1String(serviceName));
        m_bus.unregisterObject(QLatin1String(objectPath));
    }
}

bool ClientBusService::publish() {
    if (!m_bus.isConnected()) {
        qCWarning(lcBus, "no session bus: scripts cannot reach this client");
        return false;
    }
    if (!m_bus.registerObject(QLatin1String(objectPath), this,
                              QDBusConnection::ExportAllSlots |
                                  QDBusConnection::ExportAllProperties)) {
        qCWarning(lcBus, "cannot put the client's object on the session bus");
        return false;
    }
    m_registered = true;
    if (!m_bus.registerService(QLatin1String(serviceName))) {
        qCWarning(lcBus, "the name %s is taken on the session bus", serviceName);
        return false;
    }
    return true;
}

bool ClientBusService::callerAllowed() {
    if (!calledFromDBus())
        return true;
    // The session bus admits only its user already; a bus configured otherwise still
    // does not get to drive this user's VPN.
    const auto uid = connection().interface()->serviceUid(message().service());
    if (uid.isValid() && uid.value() == ::getuid())
        return true;
    sendErrorReply(QDBusError::AccessDenied,
                   QStringLiteral("Only this session's user may do that"));
    return false;
}

void ClientBusService::replyWhenDone(std::function<void(ClientControl::Done)> request) {
    if (!calledFromDBus()) {
        request([](auto) {});
        return;
    }
    setDelayedReply(true);
    QDBusMessage call = message();
    QDBusConnection bus = connection();
    request([call, bus](std::optional<QString> refusal) mutable {
        bus.send(refusal ? call.createErrorReply(refusedError, *refusal) : call.createReply());
    });
}

void ClientBusService::Connect(const QString& region) {
    if (!callerAllowed())
        return;
    std::optional<ModelEnums::Region> chosen;
    if (!region.isEmpty()) {
        chosen = ClientControl::regionFromCode(region);
        if (!chosen) {
            sendErrorReply(
                unknownRegionError,
                QStringLiteral("Unknown region \"%1\": use de or ru").arg(region.left(16)));
            return;
        }
    }
    QPointer<ClientControl> control(&m_control);
    replyWhenDone([control, chosen](ClientControl::Done done) {
        if (control)
            control->connect(chosen, std::move(done));
    });
}

void ClientBusService::Disconnect() {
    if (callerAllowed())
        m_control.disconnect();
}

void ClientBusService::Toggle() {
    if (!callerAllowed())
        return;
    QPointer<ClientControl> control(&m_control);
    replyWhenDone([control](ClientControl::Done done) {
        if (control)
            control->toggle(std::move(done));
    });
}

void ClientBusService::ShowWindow() {
    if (callerAllowed())
        m_control.showWindow();
}

void ClientBusService::flush() {
    const ClientControl::Snapshot now = m_control.snapshot();
    QVariantMap changed;
    auto note = [&](const char* name, const auto& before, const auto& after) {
        if (before != after)
            changed.insert(QLatin1String(name), QVariant::fromValue(after));
    };
    note("Status", m_published.status, now.status);
    note("Region", m_published.region, now.region);
    note("PublicIP", m_published.publicIP, now.publicIP);
    note("SessionStartedAt", qlonglong(m_published.sessionStartedAt),
         qlonglong(now.sessionStartedAt));
    note("SignedIn", m_published.signedIn, now.signedIn);
    note("ErrorMessage", m_published.errorMessage, now.errorMessage);
    const bool countersMoved =
        now.rxBytes != m_published.rxBytes || now.txBytes != m_published.txBytes;
    ClientControl::Snapshot published = now;
    if (countersMoved && m_sinceCounters.elapsed() < counterIntervalMs &&
        !changed.contains(QStringLiteral("SessionStartedAt"))) {
        // Too soon for the counters: they go out with the next second.
        published.rxBytes = m_published.rxBytes;
        published.txBytes = m_published.txBytes;
        m_flush.start(int(counterIntervalMs - m_sinceCounters.elapsed()));
    } else if (countersMoved) {
        note("RxBytes", qulonglong(m_published.rxBytes), qulonglong(now.rxBytes));
        note("TxBytes", qulonglong(m_published.txBytes), qulonglong(now.txBytes));
        m_sinceCounters.restart();
    }
    m_published = published;
    if (changed.isEmpty() || !m_registered)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QLatin1String(objectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(interfaceName) << changed << QStringList();
    m_bus.send(signal);
}

} // namespace veloxa
