#include "SystemExtensionManager.h"

#include "platform/Bundle.h"
#include "platform/netext/TunnelServiceClient.h"

#include <QPointer>

namespace veloxa {

using Delegate = SystemExtensionRequestDelegate;

SystemExtensionManager::SystemExtensionManager(TunnelServiceClient& client, QString bundledVersion,
                                               QObject* parent)
    : QObject(parent), m_client(client), m_bundledVersion(std::move(bundledVersion)) {
    connect(&m_client, &TunnelServiceClient::connectedChanged, this, [this](bool connected) {
        if (!connected)
            return;
        for (const auto& request : std::exchange(m_waiting, {}))
            check(request);
    });
}

SystemExtensionManager& SystemExtensionManager::shared() {
    static auto* manager =
        new SystemExtensionManager(TunnelServiceClient::shared(),
                                   Bundle::main()
                                       .stringValue(QStringLiteral("CFBundleShortVersionString"))
                                       .value_or(QString()));
    return *manager;
}

void SystemExtensionManager::submitRequest(const std::shared_ptr<SystemExtensionRequest>& request) {
    // Answers arrive later on the main thread, as from the system.
    QMetaObject::invokeMethod(
        this, [this, request] { check(request); }, Qt::QueuedConnection);
}

void SystemExtensionManager::check(const std::shared_ptr<SystemExtensionRequest>& request) {
    if (!m_client.isConnected()) {
        m_waiting.append(request);
        if (Delegate* delegate = request->delegate())
            delegate->requestNeedsUserApproval(*request);
        return;
    }
    QPointer<SystemExtensionManager> self(this);
    m_client.send({{"op", "hello"}}, [self, request](TunnelServiceClient::Reply reply) {
        if (!self)
            return;
        Delegate* delegate = request->delegate();
        if (!reply) {
            // Gone again before it answered: wait for it once more.
            if (!self->m_client.isConnected())
                return self->check(request);
            if (delegate)
                delegate->didFailWithError(*request, reply.error());
            return;
        }
        const auto version = reply->value("version", std::string());
        const QString running = QString::fromStdString(version);
        if (running == self->m_bundledVersion || self->m_bundledVersion.isEmpty()) {
            if (delegate)
                delegate->didFinishWithResult(*request, Delegate::Result::completed);
            return;
        }
        const auto action = delegate ? delegate->actionForReplacingExtension(*request, running,
                                                                             self->m_bundledVersion)
                                     : Delegate::ReplacementAction::replace;
        if (!delegate)
            return;
        if (action == Delegate::ReplacementAction::replace)
            // The bundled service takes over when the system service next restarts.
            delegate->didFinishWithResult(*request, Delegate::Result::willCompleteAfterReboot);
        else
            delegate->didFailWithError(
                *request,
                QStringLiteral("The running tunnel service (version %1) was kept").arg(running));
    });
}

} // namespace veloxa
