#pragma once

#include "platform/netext/TunnelServiceClient.h"

#include <QString>
#include <functional>
#include <optional>

namespace veloxa {

// What "approving the extension" means on Linux: the tunnel service must run and this user
// must be allowed to use it. Starting it goes through polkit (the desktop's normal admin
// prompt); membership of the veloxa group is the user's to ask for.
class ServiceApproval {
public:
    enum class Step {
        none,         // the service answers: nothing to approve
        startService, // installed but not answering: enable and start it
        joinGroup,    // it runs, but this user may not use it
        install,      // no service is installed
    };

    static constexpr const char* unitName = "veloxa-tunnel.service";

    static Step stepFor(TunnelServiceClient::Reachability reachability, bool unitInstalled);
    // The step for the process-wide connection to the service, now.
    static Step currentStep();
    // Calls back once, the next time the tunnel service answers.
    static void whenServiceAnswers(std::function<void()> callback);
    static bool unitInstalled();
    // Runs "pkexec systemctl enable --now veloxa-tunnel.service" and, once it succeeded,
    // looks for the service at once; `done` gets the error text when it did not succeed
    // (also when the user cancelled the prompt).
    static void startService(std::function<void(std::optional<QString>)> done);
    // The text that tells the user how to join the group, or, when the account joined
    // after this session began, to start a new session.
    static QString joinGroupAdvice();
    static QString joinGroupAdvice(const QString& user, bool joinedSinceSessionBegan);
};

} // namespace veloxa
