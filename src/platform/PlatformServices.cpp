#include "PlatformServices.h"

#include "FreedesktopNotifier.h"
#include "LibsecretItemStore.h"

namespace veloxa {

std::shared_ptr<SecureItemStore> PlatformServices::secureItemStore() {
    return std::make_shared<LibsecretItemStore>();
}

std::unique_ptr<Notifier> PlatformServices::notifier() {
    return std::make_unique<FreedesktopNotifier>();
}

} // namespace veloxa
