import QtQuick

// Asks the user to allow the tunnel service before connecting.
GlassCard {
    id: banner
    signal openSettings()
    implicitHeight: column.implicitHeight + 32

    Column {
        id: column
        x: 16; y: 16
        width: parent.width - 32
        spacing: 10
        Row {
            width: parent.width
            spacing: 10
            Symbol { name: "exclamationmark.triangle.fill"; color: Theme.orange; size: 14 }
            Text {
                width: parent.width - 24
                text: qsTr("Allow the Veloxa network extension in System Settings to connect")
                color: Theme.primary
                font.pixelSize: Theme.captionSize
                wrapMode: Text.WordWrap
            }
        }
        LinkButtonStyle {
            objectName: "openSettings"
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Open Settings")
            font.pixelSize: Theme.captionSize
            font.weight: Font.DemiBold
            onClicked: banner.openSettings()
        }
    }
}
