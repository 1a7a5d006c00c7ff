#include "WidgetStyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace veloxa {

void WidgetStyle::applyDark(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QPalette p;
    const QColor window(0x2c, 0x2c, 0x34), base(0x1f, 0x1e, 0x2b), text(Qt::white);
    const QColor accent(0x0a, 0x84, 0xff), faint(235, 235, 245, 110);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x44));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xff, 0x45, 0x3a));
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, accent);
    p.setColor(QPalette::PlaceholderText, faint);
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x56));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x4c));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x3a));
    p.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x22));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, faint);
    app.setPalette(p);
}

} // namespace veloxa
