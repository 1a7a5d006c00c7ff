import QtQuick

// A text-only link button in the accent colour, dimmed while pressed. A disabled one (the
// resend countdown) is drawn in the secondary colour: the accent at 40 % would fall to
// 1.7:1 against a card, too faint to read the seconds.
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
    opacity: enabled && pressed ? 0.5 : 1.0
    Text {
        id: label
        objectName: "label"
        anchors.centerIn: parent
        color: link.enabled ? Theme.accent : Theme.secondary
        font.pixelSize: Theme.captionSize
    }
}
