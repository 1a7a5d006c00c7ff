import QtQuick

// The bordered-prominent button of the forms: accent fill, full width.
Rectangle {
    id: button
    property string text
    property bool buttonEnabled: true
    signal clicked()
    implicitHeight: 28
    radius: 6
    color: Theme.accent
    opacity: buttonEnabled ? (area.pressed ? 0.8 : 1) : 0.4
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
    MouseArea {
        id: area
        anchors.fill: parent
        enabled: button.buttonEnabled
        onClicked: button.clicked()
    }
}
