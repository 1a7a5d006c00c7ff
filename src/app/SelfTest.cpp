#include "SelfTest.h"

#include "AppState.h"
#include "ModelPreview.h"
#include "QmlTypes.h"
#include "SignInForm.h"

#include <QDirIterator>
#include <QEventLoop>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>

namespace veloxa {

namespace {
int problems = 0;
QtMessageHandler previous = nullptr;
void countWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // Warnings about the views: QML's own categories or a message naming a view file.
    const QByteArray category(context.category ? context.category : "");
    const bool fromViews = category.startsWith("qml") || category.startsWith("js") ||
                           message.contains(QStringLiteral("qrc:/qt/qml/Veloxa"));
    if (type != QtDebugMsg && type != QtInfoMsg && fromViews)
        ++problems;
    previous(type, context, message);
}
} // namespace

int SelfTest::run() {
    previous = qInstallMessageHandler(countWarnings);
    QQmlEngine engine;
    QmlTypes::prepareEngine(engine);

    // Every file compiles (singletons are loaded through their module below).
    int files = 0;
    QQmlEngine compiler;
    QmlTypes::prepareEngine(compiler);
    QDirIterator it(QStringLiteral(":/qt/qml/Veloxa/UI"), {QStringLiteral("*.qml")});
    while (it.hasNext()) {
        const QString path = it.next();
        // Singletons are loaded by their users, never on their own.
        if (path.endsWith(QStringLiteral("/Theme.qml")) ||
            path.endsWith(QStringLiteral("/Texts.qml")))
            continue;
        QQmlComponent component(&compiler, QUrl(QStringLiteral("qrc") + path));
        ++files;
        if (component.isError()) {
            std::fprintf(stderr, "self-test: %s\n", qPrintable(component.errorString()));
            ++problems;
        }
    }

    // The whole window in every preview state, each tab.
    QQuickWindow window;
    window.resize(380, 520);
    for (const QString& name : ModelPreview::names()) {
        AppState state(AppState::Dependencies::offline());
        SignInForm form(state.signInFlow());
        ModelPreview::apply(state, name);
        QQmlComponent root(&engine, QUrl(QStringLiteral("qrc:/qt/qml/Veloxa/UI/RootView.qml")));
        std::unique_ptr<QObject> view(root.createWithInitialProperties(
            {{"model", QVariant::fromValue(&state)}, {"form", QVariant::fromValue(&form)}}));
        if (!view) {
            std::fprintf(stderr, "self-test: %s\n", qPrintable(root.errorString()));
            ++problems;
            continue;
        }
        qobject_cast<QQuickItem*>(view.get())->setParentItem(window.contentItem());
        for (auto tab :
             {AppState::RootTab::Vpn, AppState::RootTab::User, AppState::RootTab::About}) {
            state.setSelectedRootTab(tab);
            QEventLoop settle; // lets the page load and draw
            QTimer::singleShot(20, &settle, &QEventLoop::quit);
            settle.exec();
        }
    }
    std::printf("self-test: %d QML files, %lld states, %d problems\n", files,
                static_cast<long long>(ModelPreview::names().size()), problems);
    qInstallMessageHandler(previous);
    return problems == 0 ? 0 : 1;
}

} // namespace veloxa
