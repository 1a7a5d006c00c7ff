#include "SocketListener.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace veloxa::tunnel {

std::expected<void, QString> SocketListener::listen(QLocalServer& server, const QString& path,
                                                    int mode, long group) {
    QLocalServer::removeServer(path);
    if (!server.listen(path))
        return std::unexpected(
            QStringLiteral("cannot listen on %1: %2").arg(path, server.errorString()));
    const QByteArray native = QFile::encodeName(path);
    if (group >= 0 &&
        ::chown(native.constData(), static_cast<uid_t>(-1), static_cast<gid_t>(group)) != 0)
        return std::unexpected(QStringLiteral("cannot give %1 to the socket group").arg(path));
    if (::chmod(native.constData(), static_cast<mode_t>(mode)) != 0)
        return std::unexpected(QStringLiteral("cannot set the mode of %1").arg(path));
    return {};
}

} // namespace veloxa::tunnel
