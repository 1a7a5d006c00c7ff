#include "QmlTypes.h"

#include "localization/Localization.h"
#include "tunnel/TunnelStatus.h"

#include <QQmlEngine>

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
    auto* localization = &Localization::shared();
    QQmlEngine::setObjectOwnership(localization, QQmlEngine::CppOwnership);
    qmlRegisterSingletonInstance(uri, 1, 0, "Localization", localization);
}

} // namespace veloxa
