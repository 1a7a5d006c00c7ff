#pragma once

#include "platform/Bundle.h"
#include "platform/sysext/SystemExtensionRequest.h"

#include <functional>
#include <optional>

namespace veloxa {

// The delegate of the tunnel extension's activation: always replaces, reports a needed
// approval every time it is asked, and calls the one-shot completion on the outcome.
class SystemExtensionActivator : public SystemExtensionRequestDelegate {
public:
    using Completion = std::function<void(std::optional<QString> error)>;

    explicit SystemExtensionActivator(const Bundle& bundle);
    static SystemExtensionActivator& shared();

    const QString& extensionIdentifier() const { return m_extensionIdentifier; }
    // A file or folder at Contents/Library/SystemExtensions/<id>.systemextension.
    bool isExtensionPresent(const Bundle& bundle) const;

    Completion completion;
    std::function<void()> onNeedsApproval;

    ReplacementAction actionForReplacingExtension(SystemExtensionRequest& request,
                                                  const QString& existingVersion,
                                                  const QString& newVersion) override;
    void requestNeedsUserApproval(SystemExtensionRequest& request) override;
    void didFinishWithResult(SystemExtensionRequest& request, Result result) override;
    void didFailWithError(SystemExtensionRequest& request, const QString& error) override;

private:
    QString m_extensionIdentifier;
};

} // namespace veloxa
