// CPU the window's views use while shown and idle, and while hidden (run under Xvfb):
//   xvfb-run -a build/benchmarks/bench-window [--seconds N] [--state NAME]
// The model sits in a preview state (default: signed in, connected), so every ambient
// animation and the session clock are running while the window is shown.
#include "IdleCpu.h"
#include "app/AppState.h"
#include "app/ModelPreview.h"
#include "app/QmlTypes.h"
#include "app/SignInForm.h"
#include "platform/GraphicsBackend.h"
#include "platform/MemorySecureItemStore.h"

#include <QGuiApplication>
#include <QQuickView>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

using namespace veloxa;

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    GraphicsBackend::choose(); // the renderer the client would pick on this machine
    QStandardPaths::setTestModeEnabled(true);
    int seconds = 30;
    QString state = QStringLiteral("connected");
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--seconds")
            seconds = std::max(1, atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--state")
            state = QString::fromLocal8Bit(argv[i + 1]);
    }
    AppState model({std::make_shared<MemorySecureItemStore>(),
                    QUrl(QStringLiteral("http://127.0.0.1:9")), QUrl(),
                    QStringLiteral("Bench — macOS 14.5")});
    SignInForm form(model.signInFlow());
    ModelPreview::apply(model, state);
    QQuickView view;
    QmlTypes::prepareEngine(*view.engine());
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.resize(380, 520);
    view.setInitialProperties(
        {{"model", QVariant::fromValue(&model)}, {"form", QVariant::fromValue(&form)}});
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veloxa/UI/RootView.qml")));
    view.show();
    idleCpuPercent(2); // settle
    const double shown = idleCpuPercent(seconds);
    view.hide();
    idleCpuPercent(1);
    const double hidden = idleCpuPercent(seconds);
    std::printf("window figures (state %s, %d s each)\n", qPrintable(state), seconds);
    std::printf("  shown, idle:  %6.2f %% of a core (measured and reported)\n", shown);
    std::printf("  hidden:       %6.2f %% of a core (target < 0.5 %%)\n", hidden);
    return 0;
}
