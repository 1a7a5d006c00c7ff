#pragma once

#include <QMenuBar>
#include <functional>

class QWindow;

namespace veloxa {

class Bundle;

// The application's main menu: application, "Edit" and "Window" menus with fixed Russian
// titles. On Linux nothing shows a parentless menu bar, so its key equivalents are bound to
// the windows passed to bindKeys.
class SimpleMainMenu : public QMenuBar {
    Q_OBJECT
public:
    struct Targets {
        std::function<void()> about;
        std::function<void()> hide;
        std::function<void()> quit;
    };
    SimpleMainMenu(const Bundle& bundle, Targets targets);

    // "CFBundleName" when it is a string, else "App".
    static QString applicationName(const Bundle& bundle);
    // Every action of the three menus, in menu order, separators left out.
    QList<QAction*> allActions() const;
    // Key presses in `window` that match an action's shortcut trigger that action.
    void bindKeys(QWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* add(QMenu* menu, const QString& title, const QKeySequence& keys,
                 std::function<void()> action);
};

} // namespace veloxa
