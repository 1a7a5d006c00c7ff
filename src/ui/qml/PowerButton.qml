import QtQuick
import QtQuick.Shapes
import Veloxa.Core

// The round connect / disconnect control. Status shows only as colour and motion: a
// breathing glow, a ring pulsing outward while busy, a glass disc with the power symbol.
Item {
    id: button
    property int status: TunnelStatus.Inactive
    property bool disabled: false
    property bool animating: true
    signal action()

    readonly property bool busy: status === TunnelStatus.Activating || status === TunnelStatus.Deactivating
                                 || status === TunnelStatus.Reasserting
    readonly property color statusColor: status === TunnelStatus.Active ? Qt.rgba(0.2, 0.85, 0.55, 1)
                                        : busy ? Qt.rgba(0.98, 0.74, 0.22, 1) : Theme.accent
    // 0 … 1, swinging with an ease-in-out: 0.9 s while busy, 2.4 s otherwise.
    property real pulse: 0
    readonly property bool pressed: mouse.pressed && !disabled

    implicitWidth: 108
    implicitHeight: 108
    opacity: disabled ? 0.5 : 1

    function restartPulse() {
        pulseAnimation.stop()
        pulse = 0
        if (animating)
            pulseAnimation.start()
    }
    onBusyChanged: restartPulse()
    onAnimatingChanged: restartPulse()
    Component.onCompleted: restartPulse()

    SequentialAnimation {
        id: pulseAnimation
        loops: Animation.Infinite
        NumberAnimation { target: button; property: "pulse"; from: 0; to: 1; duration: button.busy ? 900 : 2400; easing.type: Easing.InOutQuad }
        NumberAnimation { target: button; property: "pulse"; from: 1; to: 0; duration: button.busy ? 900 : 2400; easing.type: Easing.InOutQuad }
    }

    Item {
        id: stack
        width: 108; height: 108
        anchors.centerIn: parent
        scale: button.pressed ? 0.94 : 1
        Behavior on scale { SpringAnimation { spring: 6; damping: 0.45; epsilon: 0.001 } }

        // 1. glow: a disc of the status colour blurred by 22
        RadialGlow {
            anchors.centerIn: parent
            diameter: 108; blur: 22
            color: button.statusColor
            opacity: 0.24 + 0.24 * button.pulse
        }
        // 2. pulse ring while busy: 82 → 100 points, fading out
        Rectangle {
            visible: button.busy
            anchors.centerIn: parent
            width: 82 + 18 * button.pulse; height: width; radius: width / 2
            color: "transparent"
            border.width: 2.5
            border.color: Qt.rgba(button.statusColor.r, button.statusColor.g, button.statusColor.b, 0.55)
            opacity: 0.85 * (1 - button.pulse)
        }
        // 3. disc: shadow in the status colour, material, tint, hairline
        RadialGlow {
            anchors.centerIn: parent
            anchors.verticalCenterOffset: 6
            diameter: 84; blur: 12
            color: Qt.rgba(button.statusColor.r, button.statusColor.g, button.statusColor.b, 0.4)
        }
        Rectangle {
            anchors.centerIn: parent
            width: 84; height: 84; radius: 42
            color: Qt.rgba(0.2, 0.2, 0.26, 0.85)
            Rectangle {
                anchors.fill: parent; radius: 42
                color: Qt.rgba(button.statusColor.r, button.statusColor.g, button.statusColor.b, 0.32 * 0.3 + 0.12)
                border.width: Theme.hairline
                border.color: Theme.materialStroke
            }
        }
        // 4. highlight: white 50 % → 0 % from the unit point (0.3, 0.25), radius 44
        Shape {
            anchors.centerIn: parent
            width: 84; height: 84
            ShapePath {
                strokeWidth: -1
                fillGradient: RadialGradient {
                    centerX: 84 * 0.3; centerY: 84 * 0.25; centerRadius: 44
                    focalX: centerX; focalY: centerY; focalRadius: 1
                    GradientStop { position: 0; color: Qt.rgba(1, 1, 1, 0.5) }
                    GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 0) }
                }
                PathAngleArc { centerX: 42; centerY: 42; radiusX: 42; radiusY: 42; startAngle: 0; sweepAngle: 360 }
            }
        }
        // 5. gloss arc: 0.56 … 0.88 of a 76-point circle, turned by −18°
        Shape {
            anchors.centerIn: parent
            width: 76; height: 76
            ShapePath {
                strokeColor: Qt.rgba(1, 1, 1, 0.85)
                strokeWidth: 2.5
                capStyle: ShapePath.RoundCap
                fillColor: "transparent"
                PathAngleArc { centerX: 38; centerY: 38; radiusX: 38; radiusY: 38; startAngle: 0.56 * 360 - 18; sweepAngle: 0.32 * 360 }
            }
        }
        // 6. rim: a 1-point ring, white 50 % at the top to 6 % at the bottom
        Shape {
            anchors.centerIn: parent
            width: 84; height: 84
            ShapePath {
                strokeWidth: -1
                fillRule: ShapePath.OddEvenFill
                fillGradient: LinearGradient {
                    x1: 0; y1: 0; x2: 0; y2: 84
                    GradientStop { position: 0; color: Qt.rgba(1, 1, 1, 0.5) }
                    GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 0.06) }
                }
                PathAngleArc { centerX: 42; centerY: 42; radiusX: 42; radiusY: 42; startAngle: 0; sweepAngle: 360 }
                PathMove { x: 83; y: 42 }
                PathAngleArc { centerX: 42; centerY: 42; radiusX: 41; radiusY: 41; startAngle: 0; sweepAngle: 360 }
            }
        }
        // 7. the power symbol with a soft dark shadow
        Symbol {
            anchors.centerIn: parent
            anchors.verticalCenterOffset: 1
            name: "power"; size: 22; color: Qt.rgba(0, 0, 0, 0.3)
        }
        Symbol {
            anchors.centerIn: parent
            name: "power"; size: 22; color: "white"
        }
    }

    MouseArea {
        id: mouse
        anchors.centerIn: parent
        width: 108; height: 108
        enabled: !button.disabled
        onClicked: button.action()
    }
}
