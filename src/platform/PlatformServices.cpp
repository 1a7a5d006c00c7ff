#include "PlatformServices.h"

#include "LibsecretItemStore.h"

namespace veloxa {

std::shared_ptr<SecureItemStore> PlatformServices::secureItemStore() {
    return std::make_shared<LibsecretItemStore>();
}

} // namespace veloxa
