#include "TrayController.h"

#include "AppState.h"
#include "localization/Localization.h"

#include <QPointer>

namespace veloxa {

using T = Localization::Text;

TrayController::TrayController(AppState& state, TrayBackend& backend, std::function<void()> onOpen,
                               std::function<void()> onQuit, QObject* parent)
    : QObject(parent), m_state(state), m_backend(backend), m_onOpen(std::move(onOpen)),
      m_onQuit(std::move(onQuit)) {
    m_backend.setIcon(iconFor(m_state.tunnelStatus()));
    QPointer<TrayController> self(this);
    m_backend.setClickHandler([self](bool rightButton) {
        if (self)
            self->handleClick(rightButton);
    });
    connect(&m_state, &AppState::tunnelStatusChanged, this,
            [this] { m_backend.setIcon(iconFor(m_state.tunnelStatus())); });
}

QString TrayController::iconFor(TunnelStatus status) {
    if (status == TunnelStatus::Inactive)
        return QStringLiteral("shield.slash");
    if (status == TunnelStatus::Active)
        return QStringLiteral("bolt.shield.fill");
    return QStringLiteral("bolt.shield");
}

void TrayController::handleClick(bool rightButton) {
    if (rightButton)
        m_backend.popUpMenu(menuEntries());
    else if (m_onOpen)
        m_onOpen();
}

QList<TrayMenuEntry> TrayController::menuEntries() {
    const auto& loc = Localization::shared();
    QPointer<TrayController> self(this);
    auto call = [self](void (TrayController::*method)()) {
        return [self, method] {
            if (self)
                (self->*method)();
        };
    };
    // Named after what the item does: reconnecting, it disconnects.
    const bool up = m_state.tunnelStatus() == TunnelStatus::Active ||
                    m_state.tunnelStatus() == TunnelStatus::Reasserting;
    return {{loc.text(up ? T::menuDisconnect : T::menuConnect),
             call(&TrayController::toggleConnection)},
            {loc.text(T::menuAbout), call(&TrayController::showAbout)},
            {QString(), {}, true},
            {loc.text(T::quitApp), call(&TrayController::quitApp)}};
}

void TrayController::toggleConnection() {
    m_state.toggleConnection(); // the same operation the power button runs
}

void TrayController::showAbout() {
    m_state.setSelectedRootTab(AppState::RootTab::About);
    if (m_onOpen)
        m_onOpen();
}

void TrayController::quitApp() {
    if (m_onQuit)
        m_onQuit();
}

} // namespace veloxa
