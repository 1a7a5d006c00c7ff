import QtQuick

// A text-only link button: accent colour, dimmed while pressed, faint when disabled.
Pressable {
    id: link
    property alias text: label.text
    property alias font: label.font
    signal clicked()
    onActivated: clicked()
    accessibleName: label.text
    implicitWidth: label.implicitWidth
    implicitHeight: label.implicitHeight
    ringRadius: 4
    opacity: !enabled ? 0.4 : pressed ? 0.5 : 1.0
    Text {
        id: label
        anchors.centerIn: parent
        color: Theme.accent
        font.pixelSize: Theme.captionSize
    }
}
