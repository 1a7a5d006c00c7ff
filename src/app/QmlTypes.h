#pragma once

namespace veloxa {

// Registers the core's enumerations and singletons under the QML module "Veloxa.Core".
class QmlTypes {
public:
    static void registerAll();
};

} // namespace veloxa
