#pragma once

#include <memory>

namespace veloxa {

class SecureItemStore;

// The production implementations of the platform's services, chosen here so the model and
// the application shell never name a platform's classes (the build picks this file's
// implementation for the platform).
class PlatformServices {
public:
    // Where the session item is kept: the desktop's keyring on Linux.
    static std::shared_ptr<SecureItemStore> secureItemStore();
};

} // namespace veloxa
