import QtQuick

// The ring around the control that has the keyboard's focus, in the control's own shape.
Rectangle {
    property real ringRadius: 6
    anchors.fill: parent
    anchors.margins: -3
    radius: ringRadius + 3
    color: "transparent"
    border.width: Theme.focusRingWidth
    border.color: Theme.focusRing
    visible: parent.activeFocus
}
