// Renders the window's root view with the model in a named state and writes a PNG.
//   screenshot --state NAME [--language en|ru|es|de] [--open OBJECTNAME] --out FILE.png
//   screenshot --tray-menu --state NAME [--language CODE] --out FILE.png
// Run it under Xvfb (xvfb-run -a). It talks to no service and starts no tunnel.
#include "app/AppState.h"
#include "app/ModelPreview.h"
#include "app/QmlTypes.h"
#include "app/SignInForm.h"
#include "app/TrayController.h"
#include "localization/Localization.h"
#include "platform/MemorySecureItemStore.h"
#include "platform/SystemTrayBackend.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMenu>
#include <QQuickItem>
#include <QQuickView>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

using namespace veloxa;

namespace {

// Keeps the tray menu the controller asks for, so it can be drawn without a tray.
struct CapturedTray : TrayBackend {
    QList<TrayMenuEntry> entries;
    void setIcon(const QString&) override {}
    void popUpMenu(const QList<TrayMenuEntry>& menu) override { entries = menu; }
    void setClickHandler(std::function<void(bool)>) override {}
};

int saveTrayMenu(AppState& state, const QString& file) {
    CapturedTray tray;
    TrayController controller(state, tray, {}, {});
    controller.handleClick(true);
    std::unique_ptr<QMenu> menu(SystemTrayBackend::buildMenu(tray.entries));
    menu->adjustSize();
    return menu->grab().save(file) ? 0 : 1;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // never touch the user's settings
    QCommandLineParser parser;
    parser.addOptions(
        {{"state", "Named model state: " + ModelPreview::names().join(", "), "name", "signed-out"},
         {"language", "Interface language.", "code", "en"},
         {"open", "NAME or NAME:METHOD: call METHOD (default open) on that object first.", "name"},
         {"tab", "Tab to show: vpn, user or about (default: the state's own).", "tab"},
         {"tray-menu", "Draw the tray item's menu instead of the window."},
         {"out", "PNG file to write.", "file"}});
    parser.addHelpOption();
    parser.process(app);
    if (!parser.isSet("out")) {
        std::fputs("screenshot: --out is required\n", stderr);
        return 2;
    }
    Localization::shared().setLanguageCode(parser.value("language"));
    AppState state(
        {std::make_shared<MemorySecureItemStore>(), QUrl(QStringLiteral("http://127.0.0.1:9")),
         QUrl(QStringLiteral("http://127.0.0.1:9/ip")), QStringLiteral("Studio — macOS 14.5")});
    SignInForm form(state);
    if (!ModelPreview::apply(state, parser.value("state"))) {
        std::fprintf(stderr, "screenshot: unknown state %s\n", qPrintable(parser.value("state")));
        return 2;
    }
    if (parser.isSet("tray-menu"))
        return saveTrayMenu(state, parser.value("out"));
    const QString tab = parser.value("tab");
    if (tab == u"vpn")
        state.setSelectedRootTab(AppState::RootTab::vpn);
    else if (tab == u"user")
        state.setSelectedRootTab(AppState::RootTab::user);
    else if (tab == u"about")
        state.setSelectedRootTab(AppState::RootTab::about);
    QQuickView view;
    QmlTypes::prepareEngine(*view.engine());
    view.setColor(Qt::black);
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.resize(380, 520);
    view.setInitialProperties(
        {{"model", QVariant::fromValue(&state)}, {"form", QVariant::fromValue(&form)}});
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veloxa/UI/RootView.qml")));
    if (view.status() != QQuickView::Ready) {
        for (const auto& error : view.errors())
            std::fprintf(stderr, "%s\n", qPrintable(error.toString()));
        return 1;
    }
    view.show();
    if (parser.isSet("open")) {
        QTimer::singleShot(300, &view, [&] {
            const QString name = parser.value("open").section(u':', 0, 0);
            const QString method = parser.value("open").section(u':', 1, 1);
            QObject* object = QmlTypes::findNamed(view.rootObject(), name);
            if (!object ||
                !QMetaObject::invokeMethod(object, method.isEmpty() ? "open" : qPrintable(method)))
                std::fprintf(stderr, "screenshot: cannot call %s\n",
                             qPrintable(parser.value("open")));
        });
    }
    QTimer::singleShot(1200, &view, [&] {
        const bool saved = view.grabWindow().save(parser.value("out"));
        QCoreApplication::exit(saved ? 0 : 1);
    });
    return app.exec();
}
