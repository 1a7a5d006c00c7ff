#include "UnixListener.h"

#include <QDateTime>
#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcService)

namespace veloxa::tunnel {

UnixListener::UnixListener(QObject* parent) : QObject(parent) {
    m_resume.setSingleShot(true);
    connect(&m_resume, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
}

UnixListener::~UnixListener() {
    m_notifier.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
        QFile::remove(m_path);
    }
    if (m_reserve >= 0)
        ::close(m_reserve);
}

std::expected<void, QString> UnixListener::listen(const QString& path, int mode, long group) {
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return std::unexpected(QStringLiteral("the socket path %1 is too long").arg(path));
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));

    struct stat st {};
    if (::lstat(native.constData(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return std::unexpected(QStringLiteral("%1 exists and is not a socket").arg(path));
        ::unlink(native.constData()); // left by a service that was killed
    }
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_fd, 128) != 0)
        return std::unexpected(QStringLiteral("cannot listen on %1: %2")
                                   .arg(path, QString::fromLocal8Bit(strerror(errno))));
    m_path = path;
    if (group >= 0 &&
        ::chown(native.constData(), static_cast<uid_t>(-1), static_cast<gid_t>(group)) != 0)
        return std::unexpected(QStringLiteral("cannot give %1 to the socket group").arg(path));
    if (::chmod(native.constData(), static_cast<mode_t>(mode)) != 0)
        return std::unexpected(QStringLiteral("cannot set the mode of %1").arg(path));
    m_reserve = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &UnixListener::onReadable);
    return {};
}

void UnixListener::shed() {
    // The connection waits in the backlog and keeps the socket readable; take it with the
    // reserved descriptor and close it, so the peer hears a clear end at once.
    if (m_reserve >= 0) {
        ::close(m_reserve);
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        m_reserve = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    if (m_reserve < 0) { // not even that: wait for descriptors to come back
        m_notifier->setEnabled(false);
        m_resume.start(200);
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastComplaint > 10000) {
        m_lastComplaint = now;
        qCWarning(lcService) << "out of file descriptors: refusing connections on" << m_path;
    }
}

void UnixListener::onReadable() {
    for (int i = 0; i < 64; ++i) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            emit accepted(fd);
            continue;
        }
        switch (errno) {
        case EAGAIN:
        case ECONNABORTED:
        case EINTR:
        case EPROTO:
            if (errno == EAGAIN)
                return;
            continue;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            shed();
            return;
        default:
            qCWarning(lcService) << "accept failed on" << m_path << strerror(errno);
            m_notifier->setEnabled(false);
            m_resume.start(200);
            return;
        }
    }
}

} // namespace veloxa::tunnel
