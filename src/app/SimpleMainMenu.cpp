#include "SimpleMainMenu.h"

#include "platform/Bundle.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>

namespace veloxa {

namespace {

// Edit and window actions go to whatever has the focus, like a first responder: the text
// field under the cursor for the edit actions, the focused window for the others.
void sendToFocusItem(const char* method) {
    auto* window = qobject_cast<QQuickWindow*>(QGuiApplication::focusWindow());
    QQuickItem* item = window ? window->activeFocusItem() : nullptr;
    if (item && item->metaObject()->indexOfMethod(QByteArray(method) + "()") >= 0)
        QMetaObject::invokeMethod(item, method);
}

template <typename Method> void toFocusWindow(Method method) {
    if (QWindow* window = QGuiApplication::focusWindow())
        (window->*method)();
}

} // namespace

SimpleMainMenu::SimpleMainMenu(const Bundle& bundle, Targets targets) : QMenuBar(nullptr) {
    const QString name = applicationName(bundle);

    QMenu* app = addMenu(QString());
    add(app, QStringLiteral("О программе ") + name, {}, targets.about);
    app->addSeparator();
    add(app, QStringLiteral("Скрыть ") + name, QKeySequence(Qt::CTRL | Qt::Key_H), targets.hide);
    app->addSeparator();
    add(app, QStringLiteral("Выйти из ") + name, QKeySequence(Qt::CTRL | Qt::Key_Q), targets.quit);

    QMenu* edit = addMenu(QStringLiteral("Edit"));
    add(edit, QStringLiteral("Вырезать"), QKeySequence(Qt::CTRL | Qt::Key_X),
        [] { sendToFocusItem("cut"); });
    add(edit, QStringLiteral("Копировать"), QKeySequence(Qt::CTRL | Qt::Key_C),
        [] { sendToFocusItem("copy"); });
    add(edit, QStringLiteral("Вставить"), QKeySequence(Qt::CTRL | Qt::Key_V),
        [] { sendToFocusItem("paste"); });
    add(edit, QStringLiteral("Выделить всё"), QKeySequence(Qt::CTRL | Qt::Key_A),
        [] { sendToFocusItem("selectAll"); });

    QMenu* window = addMenu(QStringLiteral("Window"));
    add(window, QStringLiteral("Свернуть"), QKeySequence(Qt::CTRL | Qt::Key_M),
        [] { toFocusWindow(&QWindow::showMinimized); });
    add(window, QStringLiteral("Закрыть"), QKeySequence(Qt::CTRL | Qt::Key_W),
        [] { toFocusWindow(&QWindow::close); });
}

QString SimpleMainMenu::applicationName(const Bundle& bundle) {
    return bundle.stringValue(QStringLiteral("CFBundleName")).value_or(QStringLiteral("App"));
}

QAction* SimpleMainMenu::add(QMenu* menu, const QString& title, const QKeySequence& keys,
                             std::function<void()> action) {
    QAction* item = menu->addAction(title);
    item->setShortcut(keys);
    // Fixed titles: keep the platform from moving or renaming items by their text.
    item->setMenuRole(QAction::NoRole);
    connect(item, &QAction::triggered, this, [action = std::move(action)] {
        if (action)
            action();
    });
    return item;
}

QList<QAction*> SimpleMainMenu::allActions() const {
    QList<QAction*> out;
    for (QAction* top : actions())
        if (top->menu())
            for (QAction* item : top->menu()->actions())
                if (!item->isSeparator())
                    out << item;
    return out;
}

void SimpleMainMenu::bindKeys(QWindow* window) {
    window->installEventFilter(this);
}

bool SimpleMainMenu::eventFilter(QObject* watched, QEvent* event) {
    // Only key presses matter; the menu bar's own handling is for widgets it sits in.
    if (watched->isWidgetType() || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    for (QAction* action : allActions()) {
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed && action->isEnabled()) {
            action->trigger();
            return true;
        }
    }
    return false;
}

} // namespace veloxa
