#pragma once

#include "platform/TrayBackend.h"

#include <QStringList>

// The desktop as a test sees it: what was asked of the status item and of the
// notifications ("title|body" per notice).
struct RecordingNotifier : veloxa::Notifier {
    QStringList notices;
    void notify(const QString& title, const QString& body) override {
        notices << title + u'|' + body;
    }
};

struct RecordingTray : veloxa::TrayBackend {
    QStringList icons;
    QList<QList<veloxa::TrayMenuEntry>> menus;
    QStringList notices;
    std::function<void(bool rightButton)> click;
    void setIcon(const QString& symbol) override { icons << symbol; }
    void popUpMenu(const QList<veloxa::TrayMenuEntry>& entries) override { menus << entries; }
    void setClickHandler(std::function<void(bool)> handler) override { click = std::move(handler); }
    void notify(const QString& title, const QString& body) override {
        notices << title + u'|' + body;
    }
};
