#include "SystemExtensionActivator.h"

#include <QFileInfo>
#include <QtDebug>

namespace veloxa {

SystemExtensionActivator::SystemExtensionActivator(const Bundle& bundle)
    : m_extensionIdentifier(bundle.bundleIdentifier() + QStringLiteral(".network-extension")) {}

SystemExtensionActivator& SystemExtensionActivator::shared() {
    static SystemExtensionActivator activator(Bundle::main());
    return activator;
}

bool SystemExtensionActivator::isExtensionPresent(const Bundle& bundle) const {
    return QFileInfo::exists(bundle.path(QStringLiteral("Contents/Library/SystemExtensions/") +
                                         m_extensionIdentifier +
                                         QStringLiteral(".systemextension")));
}

SystemExtensionRequestDelegate::ReplacementAction
SystemExtensionActivator::actionForReplacingExtension(SystemExtensionRequest&, const QString&,
                                                      const QString&) {
    return ReplacementAction::replace;
}

void SystemExtensionActivator::requestNeedsUserApproval(SystemExtensionRequest&) {
    qInfo("System extension needs approval in System Settings > Privacy & Security > Extensions");
    if (onNeedsApproval)
        onNeedsApproval();
}

void SystemExtensionActivator::didFinishWithResult(SystemExtensionRequest&, Result result) {
    qInfo("%s",
          qPrintable(QStringLiteral("System extension activation finished: ") +
                     (result == Result::completed ? QStringLiteral("completed")
                                                  : QStringLiteral("willCompleteAfterReboot"))));
    if (auto done = std::exchange(completion, {}))
        done(std::nullopt);
}

void SystemExtensionActivator::didFailWithError(SystemExtensionRequest&, const QString& error) {
    qCritical("%s", qPrintable(QStringLiteral("System extension activation failed: ") + error));
    if (auto done = std::exchange(completion, {}))
        done(error);
}

} // namespace veloxa
