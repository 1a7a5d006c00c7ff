#pragma once

#include <memory>

namespace veloxa {

class Notifier;
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
};

} // namespace veloxa
