import QtQuick
import Veloxa.Core

// The round connect / disconnect control. Status shows only as colour and motion: a
// breathing glow, a ring pulsing outward while busy, a glass disc with the power symbol.
// The static layers are drawn once; the animations only fade, scale and stroke.
Pressable {
    id: button
    property int status: TunnelStatus.Inactive
    property bool disabled: false
    property bool animating: true
    signal action()

    readonly property bool busy: status === TunnelStatus.Activating || status === TunnelStatus.Deactivating
                                 || status === TunnelStatus.Reasserting
    readonly property color statusColor: status === TunnelStatus.Active ? Qt.rgba(0.2, 0.85, 0.55, 1)
                                        : busy ? Theme.amber : Theme.accent
    // 0 … 1, swinging with an ease-in-out: 0.9 s while busy, 2.4 s otherwise.
    readonly property real pulse: swing.value

    enabled: !disabled
    // While the tunnel is reasserting the button still ends the connection.
    accessibleName: status === TunnelStatus.Active || status === TunnelStatus.Reasserting
                    ? qsTr("Disconnect") : qsTr("Connect")
    showRing: false // the disc carries its own ring
    implicitWidth: 108
    implicitHeight: 108
    opacity: disabled ? 0.5 : 1
    onActivated: button.action()

    // Starts over from 0 when the button turns busy or idle.
    onBusyChanged: swing.rewind()
    Swing {
        id: swing
        running: button.animating
        period: button.busy ? 900 : 2400
    }

    Item {
        id: stack
        width: 108; height: 108
        anchors.centerIn: parent
        // Pressing: 94 % with a spring of response 0.25 s and damping 0.6.
        scale: button.pressed ? 0.94 : 1
        Behavior on scale { NumberAnimation { duration: Theme.pressDuration; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.pressCurve } }

        // 1. glow: a disc of the status colour blurred by 22
        Halo {
            shape: "disc"; shapeSize: Qt.size(108, 108); blur: 22
            color: button.statusColor
            opacity: 0.24 + 0.24 * button.pulse
        }
        // 2. pulse ring while busy: 82 → 100 points, fading out
        Rectangle {
            objectName: "pulseRing"
            visible: button.busy
            anchors.centerIn: parent
            width: 82 + 18 * button.pulse; height: width; radius: width / 2
            color: "transparent"
            antialiasing: true
            border.width: 2.5
            border.color: Qt.rgba(button.statusColor.r, button.statusColor.g, button.statusColor.b, 0.55)
            opacity: 0.85 * (1 - button.pulse)
        }
        // 3. disc: shadow in the status colour (40 %, radius 12, 6 down), material, tint,
        //    hairline
        Halo {
            shape: "disc"; shapeSize: Qt.size(84, 84); blur: 12
            offset: Qt.point(0, 6)
            color: button.statusColor
            opacity: 0.4
        }
        Rectangle {
            id: disc
            objectName: "disc"
            anchors.centerIn: parent
            width: 84; height: 84; radius: 42
            antialiasing: true
            color: Qt.rgba(0.2, 0.2, 0.26, 0.85)
            Rectangle {
                anchors.fill: parent; radius: 42
                antialiasing: true
                // the status tint at 32 %, drawn at a further 30 % over the material
                color: Qt.rgba(button.statusColor.r, button.statusColor.g, button.statusColor.b, 0.32 * 0.3)
                border.width: Theme.hairline
                border.color: Theme.materialStroke
            }
        }
        // 4–6. highlight, gloss arc and rim: never change, so painted once, anti-aliased
        Image {
            anchors.centerIn: parent
            width: 84; height: 84
            sourceSize.width: 84; sourceSize.height: 84
            source: "image://halo/glass"
            cache: true
        }
        // 7. the power symbol with its shadow: black 30 %, radius 3, 1 point down
        Halo {
            shape: "symbol/power"; shapeSize: Qt.size(22, 22); blur: 3
            offset: Qt.point(0, 1)
            color: "black"
            opacity: 0.3
        }
        Symbol {
            anchors.centerIn: parent
            name: "power"; size: 22; color: "white"
        }
        // keyboard focus: a ring just outside the disc
        Item {
            anchors.centerIn: parent
            width: 86; height: 86
            FocusRing { objectName: "focusRing"; ringRadius: 43; visible: button.activeFocus }
        }
    }
}
