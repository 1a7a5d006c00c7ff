#pragma once

#include "ClientControl.h"

#include <expected>
#include <optional>

namespace veloxa {

// The running client as the command line reaches it (on Linux: the session bus).
class RemoteClient {
public:
    enum class Action { connect, disconnect, toggle };

    virtual ~RemoteClient() = default;
    virtual bool running() = 0;
    // Starts the client without its window and waits, bounded, until it answers; false
    // when it does not.
    virtual bool start() = 0;
    virtual std::expected<ClientControl::Snapshot, QString> snapshot() = 0;
    // Nothing when the client took the request; otherwise why not, for the user.
    virtual std::optional<QString> request(Action action, const QString& region) = 0;
};

} // namespace veloxa
