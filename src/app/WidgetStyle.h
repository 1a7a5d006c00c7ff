#pragma once

class QApplication;

namespace veloxa {

// What Qt Widgets draw for the client (alerts, confirmations, the tray menu) in the
// window's dark look, whatever the desktop's theme.
class WidgetStyle {
public:
    static void applyDark(QApplication& app);
};

} // namespace veloxa
