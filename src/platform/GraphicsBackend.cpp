#include "GraphicsBackend.h"

#include <QDir>
#include <QQuickWindow>

namespace veloxa {

bool GraphicsBackend::hasRenderNode(const QString& driDirectory) {
    return !QDir(driDirectory)
                .entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files)
                .isEmpty();
}

void GraphicsBackend::choose() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || hasRenderNode())
        return;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace veloxa
