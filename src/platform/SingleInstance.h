#pragma once

#include <QLockFile>
#include <QObject>

class QLocalServer;

namespace veloxa {

// One client per user: the first process holds a lock and listens on a local socket; a
// later one asks it to show its window and exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `directory` holds the lock and the socket (the user's runtime directory); `name`
    // tells apart clients that must not share one window, such as builds for other services.
    SingleInstance(QString directory, QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultDirectory();

    // True when this process is the first one; it then listens for later ones. Also true,
    // without listening, when the directory cannot hold the lock at all.
    bool claim();
    // From a later process: asks the first one to show its window, passing on the
    // desktop's activation token (on Wayland the only way to raise it). False when it did
    // not answer within `timeoutMs`.
    bool handOver(int timeoutMs = 3000, const QString& activationToken = startupToken());
    // This process's activation token from the desktop, if it got one.
    static QString startupToken();

signals:
    void activationRequested(const QString& activationToken);

private:
    QString socketPath() const;

    QString m_directory;
    QString m_name;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace veloxa
