#pragma once

#include <QString>
#include <memory>

namespace veloxa {

class SystemExtensionRequest;

// Answers the questions of an extension activation and hears its outcome.
class SystemExtensionRequestDelegate {
public:
    enum class ReplacementAction { cancel = 0, replace = 1 };
    enum class Result { completed = 0, willCompleteAfterReboot = 1 };

    virtual ~SystemExtensionRequestDelegate() = default;
    virtual ReplacementAction actionForReplacingExtension(SystemExtensionRequest& request,
                                                          const QString& existingVersion,
                                                          const QString& newVersion) = 0;
    virtual void requestNeedsUserApproval(SystemExtensionRequest& request) = 0;
    virtual void didFinishWithResult(SystemExtensionRequest& request, Result result) = 0;
    virtual void didFailWithError(SystemExtensionRequest& request, const QString& error) = 0;
};

// A request to activate (install) the tunnel extension with the given identifier.
class SystemExtensionRequest {
public:
    static std::shared_ptr<SystemExtensionRequest> activationRequest(QString identifier) {
        return std::shared_ptr<SystemExtensionRequest>(
            new SystemExtensionRequest(std::move(identifier)));
    }
    const QString& identifier() const { return m_identifier; }
    SystemExtensionRequestDelegate* delegate() const { return m_delegate; }
    void setDelegate(SystemExtensionRequestDelegate* delegate) { m_delegate = delegate; }

private:
    explicit SystemExtensionRequest(QString identifier) : m_identifier(std::move(identifier)) {}
    QString m_identifier;
    SystemExtensionRequestDelegate* m_delegate = nullptr;
};

} // namespace veloxa
