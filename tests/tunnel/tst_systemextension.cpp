#include "app/AppState.h"
#include "platform/netext/TunnelServiceClient.h"
#include "platform/sysext/SystemExtensionManager.h"
#include "support/TunnelServiceProcess.h"
#include "tunnel/SystemExtensionActivator.h"

#include <QDir>
#include <QStandardPaths>
#include <QTest>

using namespace veloxa;

// Activation of the tunnel extension: the activator's answers and the Linux manager's
// outcomes, as the model sees them through systemExtensionNeedsApproval.
class TestSystemExtension : public QObject {
    Q_OBJECT

    QTemporaryDir bundleDir;
    Bundle bundle() const {
        return Bundle({{"CFBundleIdentifier", QStringLiteral("net.veloxa.client")}},
                      QUrl::fromLocalFile(bundleDir.path() + u'/'));
    }
    void placeExtension() {
        QDir(bundleDir.path())
            .mkpath(QStringLiteral("Contents/Library/SystemExtensions/"
                                   "net.veloxa.client.network-extension.systemextension"));
    }
    std::unique_ptr<AppState> makeState() {
        return std::make_unique<AppState>(AppState::Dependencies::offline());
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void activatorAnswersAndOneShotCompletion() {
        SystemExtensionActivator activator(bundle());
        QVERIFY(!activator.isExtensionPresent(bundle()));
        placeExtension();
        QVERIFY(activator.isExtensionPresent(bundle()));

        auto request = SystemExtensionRequest::activationRequest(activator.extensionIdentifier());
        QCOMPARE(activator.actionForReplacingExtension(*request, "2.0", "1.0"),
                 SystemExtensionRequestDelegate::ReplacementAction::replace);
        int approvals = 0, completions = 0;
        activator.onNeedsApproval = [&] { ++approvals; };
        activator.completion = [&](std::optional<QString> error) {
            completions += error ? 100 : 1;
        };
        activator.requestNeedsUserApproval(*request);
        activator.requestNeedsUserApproval(*request);
        QCOMPARE(approvals, 2);
        activator.didFinishWithResult(
            *request, SystemExtensionRequestDelegate::Result::willCompleteAfterReboot);
        activator.didFailWithError(*request, QStringLiteral("late"));
        QCOMPARE(completions, 1); // cleared after the first outcome
    }

    void modelFollowsTheActivation() {
        // No extension in the bundle: nothing submitted, the flag is false.
        auto state = makeState();
        TunnelServiceProcess service;
        TunnelServiceClient client(service.controlSocket());
        SystemExtensionManager manager(client, QStringLiteral("1.0.0"));
        SystemExtensionActivator absent(bundle());
        state->activateSystemExtension(absent, manager, bundle());
        QCOMPARE(state->systemExtensionNeedsApproval(), false);

        // No service answers: approval needed; once it answers, finished.
        placeExtension();
        SystemExtensionActivator activator(bundle());
        state->activateSystemExtension(activator, manager, bundle());
        QTRY_VERIFY(state->systemExtensionNeedsApproval());
        QVERIFY(service.start());
        QTRY_VERIFY_WITH_TIMEOUT(!state->systemExtensionNeedsApproval(), 10000);

        // Another version runs: replaced, finishing after the service restarts.
        SystemExtensionManager newer(client, QStringLiteral("2.0.0"));
        SystemExtensionActivator again(bundle());
        bool finished = false;
        state->activateSystemExtension(again, newer, bundle());
        auto inner = again.completion;
        again.completion = [&](std::optional<QString> error) {
            finished = !error;
            inner(error);
        };
        QTRY_VERIFY(finished);
    }

    void failureAfterApprovalKeepsTheBanner() {
        placeExtension();
        auto state = makeState();
        SystemExtensionActivator activator(bundle());
        TunnelServiceClient nowhere(bundleDir.filePath(QStringLiteral("none.sock")));
        SystemExtensionManager manager(nowhere, QStringLiteral("1.0.0"));
        state->activateSystemExtension(activator, manager, bundle());
        QTRY_VERIFY(state->systemExtensionNeedsApproval());
        auto request = SystemExtensionRequest::activationRequest(activator.extensionIdentifier());
        activator.didFailWithError(*request, QStringLiteral("refused"));
        QVERIFY(state->systemExtensionNeedsApproval());
    }
};

QTEST_GUILESS_MAIN(TestSystemExtension)
#include "tst_systemextension.moc"
