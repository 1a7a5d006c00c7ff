#pragma once

#include "platform/Notifier.h"

#include <QList>
#include <QString>
#include <functional>

namespace veloxa {

// One line of the tray's menu: a title and its action, or a separator.
struct TrayMenuEntry {
    QString title;
    std::function<void()> action;
    bool separator = false;
};

// What the tray controller needs of the desktop's status item, so its logic is tested
// without a tray. Its notifications are the item's messages (none where it has none).
class TrayBackend : public Notifier {
public:
    void notify(const QString&, const QString&) override {}
    // One of our symbol names, drawn as a monochrome mask image.
    virtual void setIcon(const QString& symbol) = 0;
    virtual void popUpMenu(const QList<TrayMenuEntry>& entries) = 0;
    // Called for every click on the item; `rightButton` tells the two buttons apart.
    virtual void setClickHandler(std::function<void(bool rightButton)> handler) = 0;
};

} // namespace veloxa
