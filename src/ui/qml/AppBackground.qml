import QtQuick

// The window's backdrop: a dark diagonal gradient with the eyes 60 points above centre.
Item {
    id: background
    property bool animating: true

    // Drawn once into a layer: the animations above it then only copy it back.
    Item {
        anchors.fill: parent
        layer.enabled: true
        clip: true
    Rectangle {
        // A diagonal gradient: a vertical one, rotated and scaled to cover the window.
        anchors.centerIn: parent
        width: Math.hypot(parent.width, parent.height)
        height: width
        rotation: -Math.atan2(parent.width, parent.height) * 180 / Math.PI
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.rgba(0.169, 0.145, 0.251, 1) }
            GradientStop { position: 0.5; color: Qt.rgba(0.102, 0.09, 0.188, 1) }
            GradientStop { position: 1.0; color: Qt.rgba(0.051, 0.047, 0.102, 1) }
        }
    }
    }
    clip: true

    VeloxaEyesBackground {
        objectName: "eyes"
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -60
        animating: background.animating
    }
}
