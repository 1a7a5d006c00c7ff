// Renders the window's root view with the model in a named state and writes a PNG.
//   screenshot --state NAME [--language en|ru|es|de] [--open OBJECTNAME] --out FILE.png
//   screenshot --tray-menu --state NAME [--language CODE] --out FILE.png
// Run it under Xvfb (xvfb-run -a). It talks to no service and starts no tunnel.
#include "app/AppState.h"
#include "app/ModelPreview.h"
#include "app/QmlTypes.h"
#include "app/SignInForm.h"
#include "app/TrayController.h"
#include "app/WidgetStyle.h"
#include "localization/Localization.h"
#include "platform/Bundle.h"
#include "platform/MemorySecureItemStore.h"
#include "platform/SystemTrayBackend.h"
#include <algorithm>

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
    WidgetStyle::applyDark(app);
    QStandardPaths::setTestModeEnabled(true); // never touch the user's settings
    QCommandLineParser parser;
    parser.addOptions(
        {{"state", "Named model state: " + ModelPreview::names().join(", "), "name", "signed-out"},
         {"language", "Interface language.", "code", "en"},
         {"open",
          "NAME, NAME:METHOD or NAME:PROPERTY: call METHOD (default open) on that object, or open "
          "the popup PROPERTY holds.",
          "name"},
         {"tab", "Tab to show: vpn, user or about (default: the state's own).", "tab"},
         {"tray-menu", "Draw the tray item's menu instead of the window."},
         {"bundle", "The application bundle to read the version from.", "path"},
         {"focus", "Give the keyboard focus to the named item first (A/B: item B within A).",
          "name"},
         {"wait", "Milliseconds after showing before the grab (default 1200).", "ms", "1200"},
         {"out", "PNG file to write.", "file"}});
    parser.addHelpOption();
    parser.process(app);
    if (!parser.isSet("out")) {
        std::fputs("screenshot: --out is required\n", stderr);
        return 2;
    }
    Localization::shared().setLanguageCode(parser.value("language"));
    if (parser.isSet("bundle")) {
        const auto bundle = Bundle::load(parser.value("bundle"));
        if (!bundle) {
            std::fprintf(stderr, "screenshot: no bundle at %s\n",
                         qPrintable(parser.value("bundle")));
            return 2;
        }
        Bundle::setMain(*bundle);
    }
    AppState state(
        {std::make_shared<MemorySecureItemStore>(), QUrl(QStringLiteral("http://127.0.0.1:9")),
         QUrl(QStringLiteral("http://127.0.0.1:9/ip")), QStringLiteral("Studio — macOS 14.5")});
    SignInForm form(state.signInFlow());
    if (!ModelPreview::apply(state, parser.value("state"))) {
        std::fprintf(stderr, "screenshot: unknown state %s\n", qPrintable(parser.value("state")));
        return 2;
    }
    if (parser.isSet("tray-menu"))
        return saveTrayMenu(state, parser.value("out"));
    const QString tab = parser.value("tab");
    if (tab == u"vpn")
        state.setSelectedRootTab(AppState::RootTab::Vpn);
    else if (tab == u"user")
        state.setSelectedRootTab(AppState::RootTab::User);
    else if (tab == u"about")
        state.setSelectedRootTab(AppState::RootTab::About);
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
            QString method = parser.value("open").section(u':', 1, 1);
            QObject* object = QmlTypes::findNamed(view.rootObject(), name);
            // A popup is no child item of its control: NAME:PROPERTY opens the popup it holds.
            if (object && !method.isEmpty())
                if (auto* held = object->property(qPrintable(method)).value<QObject*>()) {
                    object = held;
                    method.clear();
                }
            if (!object ||
                !QMetaObject::invokeMethod(object, method.isEmpty() ? "open" : qPrintable(method)))
                std::fprintf(stderr, "screenshot: cannot call %s\n",
                             qPrintable(parser.value("open")));
        });
    }
    if (parser.isSet("focus")) {
        QTimer::singleShot(400, &view, [&] {
            QObject* found = view.rootObject();
            for (const QString& name : parser.value("focus").split(u'/'))
                found = QmlTypes::findNamed(found, name);
            auto* item = qobject_cast<QQuickItem*>(found);
            if (item)
                item->forceActiveFocus(Qt::TabFocusReason);
            else
                std::fprintf(stderr, "screenshot: no item %s\n", qPrintable(parser.value("focus")));
        });
    }
    QTimer::singleShot(std::clamp(parser.value("wait").toInt(), 500, 10000), &view, [&] {
        const bool saved = view.grabWindow().save(parser.value("out"));
        QCoreApplication::exit(saved ? 0 : 1);
    });
    return app.exec();
}
