#pragma once

#include "platform/Notifier.h"

#include <QObject>

namespace veloxa {

// Notifications through the desktop's notification server (org.freedesktop.Notifications
// on the session bus), for desktops without a tray. Each message replaces the previous
// one, so "restored" takes the place of "lost". Nothing waits for the server, and a
// missing one is not an error.
class FreedesktopNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    using QObject::QObject;
    void notify(const QString& title, const QString& body) override;

private:
    uint m_lastId = 0;
};

} // namespace veloxa
