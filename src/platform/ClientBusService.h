#pragma once

#include "app/ClientControl.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>

namespace veloxa {

// The running client on the session bus: it owns `net.veloxa.Client` and serves
// `net.veloxa.Client1` at `/net/veloxa/Client` (introspection data in
// packaging/dbus/net.veloxa.Client1.xml). Only the session's own user may call it. Property
// changes go out as the standard PropertiesChanged signal, the byte counters at most once a
// second.
class ClientBusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.veloxa.Client1")
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString Region READ region)
    Q_PROPERTY(QString PublicIP READ publicIP)
    Q_PROPERTY(qlonglong SessionStartedAt READ sessionStartedAt)
    Q_PROPERTY(qulonglong RxBytes READ rxBytes)
    Q_PROPERTY(qulonglong TxBytes READ txBytes)
    Q_PROPERTY(bool SignedIn READ signedIn)
    Q_PROPERTY(QString ErrorMessage READ errorMessage)
public:
    static constexpr const char* serviceName = "net.veloxa.Client";
    static constexpr const char* objectPath = "/net/veloxa/Client";
    static constexpr const char* interfaceName = "net.veloxa.Client1";
    static constexpr int counterIntervalMs = 1000;

    ClientBusService(ClientControl& control, QDBusConnection bus, QObject* parent = nullptr);
    ~ClientBusService() override;

    // Puts the object on the bus and claims the name; false (with a warning) when the bus
    // is missing or the name is taken.
    bool publish();

    QString status() const { return m_control.snapshot().status; }
    QString region() const { return m_control.snapshot().region; }
    QString publicIP() const { return m_control.snapshot().publicIP; }
    qlonglong sessionStartedAt() const { return m_control.snapshot().sessionStartedAt; }
    qulonglong rxBytes() const { return m_control.snapshot().rxBytes; }
    qulonglong txBytes() const { return m_control.snapshot().txBytes; }
    bool signedIn() const { return m_control.snapshot().signedIn; }
    QString errorMessage() const { return m_control.snapshot().errorMessage; }

public slots:
    // "de", "ru", or "" for the selected region.
    void Connect(const QString& region);
    void Disconnect();
    void Toggle();
    void ShowWindow();

private:
    bool callerAllowed();
    void replyWhenDone(std::function<void(ClientControl::Done)> request);
    void flush();

    ClientControl& m_control;
    QDBusConnection m_bus;
    ClientControl::Snapshot m_published;
    QTimer m_flush;
    QElapsedTimer m_sinceCounters;
    bool m_registered = false;
};

} // namespace veloxa
