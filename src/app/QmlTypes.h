#pragma once

#include "api/DeviceLimitResult.h"
#include "api/DeviceSummary.h"
#include "tunnel/TunnelStatus.h"

#include <QtQml/qqml.h>

class QObject;
class QQmlEngine;
class QString;

namespace veloxa {

// Types of the lower layers the views read, declared to the QML module "Veloxa.Core"
// here so that those layers need not know QML. The app layer's own types declare
// themselves in their headers.
namespace TunnelStatusForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(veloxa::TunnelStatusNS)
QML_NAMED_ELEMENT(TunnelStatus)
} // namespace TunnelStatusForeign

struct DeviceSummaryForeign {
    Q_GADGET
    QML_FOREIGN(veloxa::DeviceSummary)
    QML_ANONYMOUS
};

struct DeviceLimitResultForeign {
    Q_GADGET
    QML_FOREIGN(veloxa::DeviceLimitResult)
    QML_ANONYMOUS
};

// What every engine that shows the views needs.
class QmlTypes {
public:
    // Keeps the module's generated registration in the program and registers the
    // value types for QVariant use.
    static void registerAll();
    // Import path of the views' module and the image providers.
    static void prepareEngine(QQmlEngine& engine);
    static constexpr const char* viewsImportPath = "qrc:/qt/qml";
    // An object by its objectName among object children and visual children (popups and
    // repeated delegates are only the latter).
    static QObject* findNamed(QObject* root, const QString& name);
};

} // namespace veloxa
