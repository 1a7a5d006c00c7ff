#include "SystemTrayBackend.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace veloxa {

SystemTrayBackend::SystemTrayBackend(IconMaker iconFor, QObject* parent)
    : QObject(parent), m_iconFor(std::move(iconFor)), m_icon(new QSystemTrayIcon(this)) {
    m_icon->setToolTip(QStringLiteral("Veloxa"));
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click also arrives as a trigger first; the window is then
                // simply raised again.
                if (m_onClick)
                    m_onClick(opensMenu(reason));
            });
}

SystemTrayBackend::~SystemTrayBackend() {
    delete m_menu;
}

bool SystemTrayBackend::opensMenu(int activationReason) {
    return activationReason == QSystemTrayIcon::Context;
}

bool SystemTrayBackend::isAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayBackend::setIcon(const QString& symbol) {
    m_icon->setIcon(m_iconFor(symbol));
    m_icon->show(); // once it has an icon to show
}

QMenu* SystemTrayBackend::buildMenu(const QList<TrayMenuEntry>& entries) {
    auto* menu = new QMenu;
    for (const TrayMenuEntry& entry : entries) {
        if (entry.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(entry.title);
        QObject::connect(action, &QAction::triggered, menu, [action = entry.action] {
            if (action)
                action();
        });
    }
    return menu;
}

void SystemTrayBackend::popUpMenu(const QList<TrayMenuEntry>& entries) {
    delete m_menu; // the previous menu is discarded; each right click gets a new one
    m_menu = buildMenu(entries);
    // Below the item where the desktop tells us its place, else at the pointer.
    const QRect item = m_icon->geometry();
    const QPoint at = item.isValid() ? item.bottomLeft() + QPoint(0, 4) : QCursor::pos();
    m_menu->popup(at);
}

void SystemTrayBackend::notify(const QString& title, const QString& body) {
    m_icon->showMessage(title, body, QSystemTrayIcon::Information);
}

void SystemTrayBackend::setClickHandler(std::function<void(bool)> handler) {
    m_onClick = std::move(handler);
}

} // namespace veloxa
