import QtQuick

// The bordered-prominent button of the forms: accent fill, full width.
Pressable {
    id: button
    property string text
    property bool buttonEnabled: true
    signal clicked()
    enabled: buttonEnabled
    accessibleName: text
    implicitHeight: 28
    opacity: buttonEnabled ? (pressed ? 0.8 : 1) : 0.4
    onActivated: button.clicked()
    Rectangle {
        anchors.fill: parent
        radius: 6
        color: Theme.accent
    }
    Text {
        anchors.centerIn: parent
        width: parent.width - 12
        text: button.text
        color: "white"
        font.pixelSize: Theme.bodySize
        font.weight: Font.Medium
        horizontalAlignment: Text.AlignHCenter
        elide: Text.ElideRight
    }
}
