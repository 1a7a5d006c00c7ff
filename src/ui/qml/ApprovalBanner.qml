import QtQuick

// Asks the user to allow the tunnel service before connecting. On macOS that is the
// network extension, allowed in System Settings; on Linux the button starts the tunnel
// service through the administrator prompt (or says how to join its group).
GlassCard {
    id: banner
    readonly property bool macOS: Qt.platform.os === "osx"
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
                text: banner.macOS ? qsTr("Allow the Veloxa network extension in System Settings to connect")
                                   : qsTr("Start the Veloxa tunnel service on this computer to connect")
                color: Theme.primary
                font.pixelSize: Theme.captionSize
                wrapMode: Text.WordWrap
            }
        }
        LinkButtonStyle {
            objectName: "openSettings"
            anchors.horizontalCenter: parent.horizontalCenter
            text: banner.macOS ? qsTr("Open Settings") : qsTr("Start Service")
            font.pixelSize: Theme.captionSize
            font.weight: Font.DemiBold
            onClicked: banner.openSettings()
        }
    }
}
