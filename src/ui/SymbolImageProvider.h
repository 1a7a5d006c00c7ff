#pragma once

#include <QQuickImageProvider>

namespace veloxa {

// Our symbol drawings in any colour: "image://symbol/<name>?color=%23rrggbb" renders
// assets/symbols/<name>.svg at the requested size with its white strokes and fills in the
// given colour, so views tint icons without an extra rendering pass.
class SymbolImageProvider : public QQuickImageProvider {
public:
    SymbolImageProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The same drawing for C++ callers (tray icons); nothing for an unknown name.
    static QImage render(const QString& name, const QColor& color, const QSize& size);
    static QString assetPath(const QString& name);
};

} // namespace veloxa
