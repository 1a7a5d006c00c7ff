import QtQuick

// The ring around the control that has the keyboard's focus, in the control's own shape:
// a light ring over a dark hairline, visible on cards, on the backdrop and on accent fills
// alike. `inside` draws it within the control, for rows that fill a rounded card (a ring
// outside would cross the card's corner).
Rectangle {
    id: ring
    property real ringRadius: 6
    property bool inside: false
    readonly property real outset: inside ? -1 : 3
    anchors.fill: parent
    anchors.margins: -outset
    radius: Math.max(0, ringRadius + outset)
    color: "transparent"
    antialiasing: true
    border.width: Theme.focusRingWidth
    border.color: Theme.focusRing
    visible: parent.activeFocus
    Rectangle {
        anchors.fill: parent
        anchors.margins: Theme.focusRingWidth
        radius: Math.max(0, ring.radius - Theme.focusRingWidth)
        color: "transparent"
        antialiasing: true
        border.width: 1
        border.color: Theme.focusGap
    }
}
