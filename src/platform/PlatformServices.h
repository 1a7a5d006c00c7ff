#pragma once

#include <QStringList>
#include <memory>

class QObject;

namespace veloxa {

class ClientControl;
class Notifier;
class RemoteClient;
class SecureItemStore;

// The production implementations of the platform's services, chosen here so the model and
// the application shell never name a platform's classes (the build picks this file's
// implementation for the platform).
class PlatformServices {
public:
    // Where the session item is kept: the desktop's keyring on Linux.
    static std::shared_ptr<SecureItemStore> secureItemStore();
    // The desktop's notifications where no tray item can show them.
    static std::unique_ptr<Notifier> notifier();
    // Puts the running client where scripts reach it (the session bus on Linux); what it
    // returns keeps it there.
    static std::unique_ptr<QObject> publishControl(ClientControl& control);
    // The running client as the command line reaches it; `startCommand` starts one without
    // its window.
    static std::unique_ptr<RemoteClient> remoteClient(QStringList startCommand);
};

} // namespace veloxa
