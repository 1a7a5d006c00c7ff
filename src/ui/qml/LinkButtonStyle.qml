import QtQuick

// A text-only link button: accent colour, dimmed while pressed, faint when disabled.
Text {
    id: link
    signal clicked()
    color: Theme.accent
    font.pixelSize: Theme.captionSize
    opacity: !enabled ? 0.4 : area.pressed ? 0.5 : 1.0
    MouseArea {
        id: area
        anchors.fill: parent
        anchors.margins: -4
        enabled: link.enabled
        cursorShape: Qt.PointingHandCursor
        onClicked: link.clicked()
    }
}
