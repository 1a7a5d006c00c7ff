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
#ifdef Q_OS_LINUX
    // Only Linux names its GPUs under /dev/dri; elsewhere the platform's default stays.
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || hasRenderNode())
        return;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
#endif
}

} // namespace veloxa
