#include "AppState.h"
#include "QmlTypes.h"
#include "SelfTest.h"
#include "SignInForm.h"
#include "api/UrlPolicy.h"
#include "platform/Bundle.h"
#include "platform/netext/TunnelServiceClient.h"
#include "platform/sysext/SystemExtensionManager.h"
#include "tunnel/SystemExtensionActivator.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QQuickView>
#include <cstdio>

using namespace veloxa;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veloxa"));
    QApplication::setOrganizationName(QStringLiteral("Veloxa"));
    if (app.arguments().contains(QStringLiteral("--self-test")))
        return SelfTest::run();

    // A build whose service URLs break the https rule must not start.
    const QStringList problems = UrlPolicy::buildConstantProblems();
    for (const QString& problem : problems)
        std::fprintf(stderr, "veloxa: %s\n", qPrintable(problem));
    if (!problems.isEmpty())
        return 2;

    AppState state(AppState::Dependencies::production());
    SignInForm form(state);

    QQuickView window;
    QmlTypes::prepareEngine(*window.engine());
    window.setTitle(QStringLiteral("Veloxa"));
    window.setColor(QColor(13, 12, 26));
    window.setMinimumSize(QSize(380, 520));
    window.setMaximumSize(QSize(380, 520));
    window.setResizeMode(QQuickView::SizeRootObjectToView);
    window.setInitialProperties(
        {{"model", QVariant::fromValue(&state)}, {"form", QVariant::fromValue(&form)}});
    window.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veloxa/UI/RootView.qml")));
    window.show();

    const Bundle& bundle = Bundle::main();
    state.activateSystemExtension(SystemExtensionActivator::shared(),
                                  SystemExtensionManager::shared(), bundle);

    TunnelServiceClient& client = TunnelServiceClient::shared();
    QPointer<AppState> model(&state);
    TunnelProviderManager::loadAllFromPreferences(client, [&, model](auto list, auto error) {
        SingboxTunnelsManager::create(
            list, error, client, bundle, TunnelServiceClient::runtimeDirectory(),
            [model](auto created) {
                if (!model)
                    return;
                if (!created) {
                    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Veloxa"),
                                      QStringLiteral("Unable to load VPN configuration"));
                    alert.setInformativeText(created.error());
                    alert.exec();
                    return;
                }
                model->setTunnelsManager(*created);
                model->refreshTunnelStatus();
                model->startStatusPolling();
            });
    });
    return app.exec();
}
