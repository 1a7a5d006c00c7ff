#pragma once

#include "platform/TrayBackend.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

class QMenu;
class QSystemTrayIcon;

namespace veloxa {

// The status item on Linux desktops: a QSystemTrayIcon (StatusNotifierItem where the
// desktop offers one, else the XEmbed tray). No context menu is attached, so the desktop
// reports right clicks to us and the menu is built anew each time.
class SystemTrayBackend : public QObject, public TrayBackend {
    Q_OBJECT
public:
    // The pictures come from the caller: `iconFor` draws one of our symbols for the panel.
    using IconMaker = std::function<QIcon(const QString& symbol)>;
    explicit SystemTrayBackend(IconMaker iconFor, QObject* parent = nullptr);
    ~SystemTrayBackend() override;

    static bool isAvailable();
    // Which clicks open the menu: the context click only; every other click (left,
    // middle, double) opens the window.
    static bool opensMenu(int activationReason);
    // The menu as it pops up, for callers that only want to draw it.
    static QMenu* buildMenu(const QList<TrayMenuEntry>& entries);

    void setIcon(const QString& symbol) override;
    void popUpMenu(const QList<TrayMenuEntry>& entries) override;
    void setClickHandler(std::function<void(bool rightButton)> handler) override;
    void notify(const QString& title, const QString& body) override;

private:
    IconMaker m_iconFor;
    QSystemTrayIcon* m_icon;
    QPointer<QMenu> m_menu;
    std::function<void(bool)> m_onClick;
};

} // namespace veloxa
