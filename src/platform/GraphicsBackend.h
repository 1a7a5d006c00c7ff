#pragma once

#include <QString>

namespace veloxa {

// Picks how the window is drawn. Without a GPU (no DRM render node, as in virtual
// displays and many VMs) OpenGL falls back to a software rasteriser that costs twice the
// memory and CPU of Qt Quick's own software renderer for a window this small, so the
// software renderer is used there (Linux only: other systems keep their default).
// QT_QUICK_BACKEND, when set, always wins.
class GraphicsBackend {
public:
    static bool hasRenderNode(const QString& driDirectory = QStringLiteral("/dev/dri"));
    // Call before the first window is created.
    static void choose();
};

} // namespace veloxa
