#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <expected>
#include <memory>

namespace veloxa::tunnel {

// A listening Unix stream socket that stays up whatever accept() says. Out of file
// descriptors, it sheds the waiting connection through a reserved descriptor instead of
// giving up (Qt's own server closes and deletes its socket then); its socket file stays in
// place for as long as the listener lives.
class UnixListener : public QObject {
    Q_OBJECT
public:
    explicit UnixListener(QObject* parent = nullptr);
    ~UnixListener() override;

    // Binds `path` (replacing a stale socket file), gives it `mode` and, when group >= 0,
    // that group.
    std::expected<void, QString> listen(const QString& path, int mode, long group);
    QString path() const { return m_path; }

signals:
    // A new connection: a non-blocking, close-on-exec descriptor the receiver now owns.
    void accepted(int fd);

private:
    void onReadable();
    void shed();

    int m_fd = -1;
    int m_reserve = -1;
    QString m_path;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_resume;
    qint64 m_lastComplaint = 0;
};

} // namespace veloxa::tunnel
