#include "TestBuild.h"

#include "app/AppDelegate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QQuickItem>
#include <QQuickView>
#include <QSaveFile>
#include <QTimer>

namespace veloxa {

namespace {

QJsonValue toJson(const QMetaProperty& property, const QVariant& value) {
    if (property.isEnumType())
        return QString::fromLatin1(property.enumerator().valueToKey(value.toInt()));
    if (value.metaType().id() == QMetaType::Nullptr || !value.isValid())
        return QJsonValue::Null;
    const QJsonValue json = QJsonValue::fromVariant(value);
    return json.isNull() ? QJsonValue(QStringLiteral("<%1>").arg(value.typeName())) : json;
}

void collectItems(QQuickItem* item, QJsonObject& out) {
    if (!item->isVisible())
        return;
    if (!item->objectName().isEmpty() && item->width() > 0 && item->height() > 0) {
        const QRectF r = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        QJsonObject entry{{"x", r.x()}, {"y", r.y()}, {"w", r.width()}, {"h", r.height()}};
        const QVariant text = item->property("text");
        if (text.isValid())
            entry["text"] = text.toString();
        out[item->objectName()] = entry;
    }
    for (QQuickItem* child : item->childItems())
        collectItems(child, out);
}

} // namespace

void TestBuild::adjust(AppState::Dependencies& dependencies) {
    if (qEnvironmentVariableIsSet("VELOXA_TEST_SERVICE_BASE_URL"))
        dependencies.serviceBaseURL = QUrl(qEnvironmentVariable("VELOXA_TEST_SERVICE_BASE_URL"));
    if (qEnvironmentVariableIsSet("VELOXA_TEST_IP_ECHO_URL"))
        dependencies.ipEchoURL = QUrl(qEnvironmentVariable("VELOXA_TEST_IP_ECHO_URL"));
    bool ok = false;
    const int refresh = qEnvironmentVariableIntValue("VELOXA_TEST_ACCOUNT_REFRESH_MS", &ok);
    dependencies.accountRefreshInterval = std::chrono::milliseconds(ok ? refresh : 3000);
}

void TestBuild::startProbe(AppDelegate& delegate) {
    const QString path = qEnvironmentVariable("VELOXA_TEST_PROBE");
    if (path.isEmpty())
        return;
    auto* timer = new QTimer(&delegate);
    timer->setInterval(200);
    QObject::connect(timer, &QTimer::timeout, &delegate, [&delegate, path] {
        QJsonObject model;
        const QMetaObject* meta = delegate.appState().metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            model[QString::fromLatin1(property.name())] =
                toJson(property, property.read(&delegate.appState()));
        }
        QJsonObject window{{"visible", false}};
        QJsonObject items;
        if (QQuickView* view = delegate.window()) {
            window = {{"visible", view->isVisible()},
                      {"x", view->x()},
                      {"y", view->y()},
                      {"w", view->width()},
                      {"h", view->height()}};
            if (view->isVisible())
                collectItems(view->contentItem(), items);
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QJsonDocument(QJsonObject{{"model", model},
                                             {"window", window},
                                             {"items", items},
                                             {"tray", delegate.trayController() != nullptr}})
                       .toJson(QJsonDocument::Compact));
        file.commit();
    });
    timer->start();
}

} // namespace veloxa
