import QtQuick
import QtQuick.Shapes

// A soft round glow: what a blurred disc of `color` looks like, drawn as one radial
// gradient (cheap enough to animate all the time).
Shape {
    id: glow
    property color color: "white"
    // The disc's own diameter and the blur radius around it.
    property real diameter: 100
    property real blur: 20
    width: diameter + 2 * blur
    height: width
    ShapePath {
        strokeWidth: -1
        fillGradient: RadialGradient {
            centerX: glow.width / 2; centerY: glow.height / 2
            focalX: centerX; focalY: centerY
            centerRadius: glow.width / 2
            focalRadius: 0
            GradientStop { position: 0; color: glow.color }
            GradientStop { position: Math.max(0, (glow.diameter / 2 - glow.blur) / (glow.width / 2)); color: glow.color }
            GradientStop { position: (glow.diameter / 2) / (glow.width / 2); color: Qt.rgba(glow.color.r, glow.color.g, glow.color.b, glow.color.a * 0.5) }
            GradientStop { position: 1; color: Qt.rgba(glow.color.r, glow.color.g, glow.color.b, 0) }
        }
        PathAngleArc {
            centerX: glow.width / 2; centerY: glow.height / 2
            radiusX: glow.width / 2; radiusY: glow.height / 2
            startAngle: 0; sweepAngle: 360
        }
    }
}
