#pragma once

#include <QLocalServer>
#include <expected>

namespace veloxa::tunnel {

// Listens on a Unix socket path, replacing a stale socket file, then gives the file its
// mode and (when group >= 0) its group.
class SocketListener {
public:
    static std::expected<void, QString> listen(QLocalServer& server, const QString& path, int mode,
                                               long group);
};

} // namespace veloxa::tunnel
