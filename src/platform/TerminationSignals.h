#pragma once

#include <QObject>

class QSocketNotifier;

namespace veloxa {

// SIGTERM, SIGINT and SIGHUP as a Qt signal on the main thread: the handler only writes
// the signal number to a socket pair, the event loop reads it.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace veloxa
