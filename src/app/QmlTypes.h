#pragma once

class QQmlEngine;

namespace veloxa {

// Registers the core's enumerations and singletons under the QML module "Veloxa.Core".
class QmlTypes {
public:
    static void registerAll();
    // Import path of the views' module and the symbol image provider.
    static void prepareEngine(QQmlEngine& engine);
    static constexpr const char* viewsImportPath = "qrc:/qt/qml";
};

} // namespace veloxa
