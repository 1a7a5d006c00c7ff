#pragma once

#include "platform/TrayBackend.h"
#include "tunnel/TunnelStatus.h"

#include <QObject>

namespace veloxa {

class AppState;

// The status item: a shield that follows the tunnel's status, a left click that opens the
// window, a right click that shows a menu built anew in the current language.
class TrayController : public QObject {
    Q_OBJECT
public:
    TrayController(AppState& state, TrayBackend& backend, std::function<void()> onOpen,
                   std::function<void()> onQuit, QObject* parent = nullptr);

    static QString iconFor(TunnelStatus status);
    void handleClick(bool rightButton);
    QList<TrayMenuEntry> menuEntries();

    void toggleConnection();
    void showAbout();
    void quitApp();

private:
    AppState& m_state;
    TrayBackend& m_backend;
    std::function<void()> m_onOpen;
    std::function<void()> m_onQuit;
};

} // namespace veloxa
