#pragma once

#include <QQuickImageProvider>

namespace veloxa {

// Soft glows and shadows (and the power disc's anti-aliased glass) in the shape of a drawing,
// blurred once on the CPU (the window draws with Qt Quick's software renderer, which has no shader
// effects):
//   image://halo/image/<asset>?color=%23rrggbb&blur=R   an eye or pupil drawing
//   image://halo/symbol/<name>?color=…&blur=R          one of our symbols
//   image://halo/capsule?color=…&blur=R                a capsule of the requested size
//   image://halo/disc?color=…&blur=R                   a disc of the requested size
//   image://halo/glass                                 the power disc's glass, unblurred
// The image is the requested size plus R on every side. Views then only move and fade it.
class HaloImageProvider : public QQuickImageProvider {
public:
    HaloImageProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The silhouette of `shape` in `color`, blurred by `radius`, with room for the blur.
    static QImage render(const QString& shape, const QColor& color, int radius, const QSize& size);
    // Blurs in place, close to a Gaussian of sigma radius / 2 (three box passes).
    static void blur(QImage& image, int radius);
};

} // namespace veloxa
