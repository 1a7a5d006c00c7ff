#include "QmlTypes.h"

#include "localization/Localization.h"
#include "ui/HaloImageProvider.h"
#include "ui/SymbolImageProvider.h"
#include "ui/ViewFormat.h"

#include <QQmlEngine>
#include <QQuickItem>

void qml_register_types_Veloxa_Core();

namespace veloxa {

void QmlTypes::registerAll() {
    // The linker would drop the generated registration of a static library's module
    // that nothing names.
    volatile auto registration = &qml_register_types_Veloxa_Core;
    Q_UNUSED(registration);
    qRegisterMetaType<DeviceSummary>();
    qRegisterMetaType<DeviceLimitResult>();
}

void QmlTypes::prepareEngine(QQmlEngine& engine) {
    registerAll();
    engine.addImportPath(QLatin1String(viewsImportPath));
    engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
    engine.addImageProvider(QStringLiteral("halo"), new HaloImageProvider);
    // The views' qsTr texts follow the language at once (the translator is already in).
    QObject::connect(&Localization::shared(), &Localization::languageChanged, &engine,
                     [&engine] { engine.retranslate(); });
}

QObject* QmlTypes::findNamed(QObject* root, const QString& name) {
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    QObjectList next = root->children();
    if (auto* item = qobject_cast<QQuickItem*>(root))
        for (QQuickItem* child : item->childItems())
            if (!next.contains(child))
                next.append(child);
    for (QObject* child : next)
        if (QObject* found = findNamed(child, name))
            return found;
    return nullptr;
}

} // namespace veloxa
