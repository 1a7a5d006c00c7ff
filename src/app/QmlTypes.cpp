#include "QmlTypes.h"

#include "AppState.h"
#include "SignInForm.h"
#include "localization/Localization.h"
#include "tunnel/TunnelStatus.h"
#include "ui/HaloImageProvider.h"
#include "ui/SymbolImageProvider.h"
#include "ui/ViewFormat.h"

#include <QQmlEngine>
#include <QQuickItem>

namespace veloxa {

void QmlTypes::registerAll() {
    static bool done = false;
    if (done)
        return;
    done = true;
    const char* uri = "Veloxa.Core";
    qmlRegisterUncreatableMetaObject(TunnelStatusNS::staticMetaObject, uri, 1, 0, "TunnelStatus",
                                     QStringLiteral("TunnelStatus is an enumeration"));
    qmlRegisterUncreatableMetaObject(AppLanguageNS::staticMetaObject, uri, 1, 0, "AppLanguage",
                                     QStringLiteral("AppLanguage is an enumeration"));
    qmlRegisterUncreatableType<AppState>(uri, 1, 0, "AppState",
                                         QStringLiteral("The model is made by the application"));
    qmlRegisterUncreatableType<SignInForm>(uri, 1, 0, "SignInForm",
                                           QStringLiteral("Made by the application"));
    qRegisterMetaType<DeviceSummary>();
    qRegisterMetaType<DeviceLimitResult>();
    // The one shared instance for every engine (the window's, and tests' own), never
    // owned by any of them.
    QQmlEngine::setObjectOwnership(&Localization::shared(), QQmlEngine::CppOwnership);
    qmlRegisterSingletonType<Localization>(
        uri, 1, 0, "Localization",
        [](QQmlEngine*, QJSEngine*) -> QObject* { return &Localization::shared(); });
    qmlRegisterSingletonType<ViewFormat>(
        uri, 1, 0, "ViewFormat",
        [](QQmlEngine*, QJSEngine*) -> QObject* { return new ViewFormat; });
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
