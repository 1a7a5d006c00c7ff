#pragma once

class QObject;
class QQmlEngine;
class QString;

namespace veloxa {

// Registers the core's enumerations and singletons under the QML module "Veloxa.Core".
class QmlTypes {
public:
    static void registerAll();
    // Import path of the views' module and the symbol image provider.
    static void prepareEngine(QQmlEngine& engine);
    static constexpr const char* viewsImportPath = "qrc:/qt/qml";
    // An object by its objectName among object children and visual children (popups and
    // repeated delegates are only the latter).
    static QObject* findNamed(QObject* root, const QString& name);
};

} // namespace veloxa
