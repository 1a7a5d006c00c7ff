import QtQuick
import Veloxa.Core

// One device of the account: this-device tag, name, platform, and the trash button.
Rectangle {
    id: row
    required property var device
    property bool isThisDevice: false
    signal trash()

    implicitHeight: info.implicitHeight + 24
    radius: Theme.rowRadius
    color: Theme.materialFill
    border.width: Theme.hairline
    border.color: Theme.materialStroke

    Column {
        id: info
        x: 12
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width - 24 - 40
        spacing: 4
        Rectangle {
            objectName: "thisDeviceTag"
            visible: row.isThisDevice
            width: tag.implicitWidth + 12; height: tag.implicitHeight + 4
            radius: height / 2
            color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.15)
            Text { id: tag; anchors.centerIn: parent; text: Localization.strings.thisDevice; color: Theme.accent; font.pixelSize: 10 }
        }
        Text { width: parent.width; text: row.device.deviceName; color: Theme.primary; font.pixelSize: Theme.bodySize; font.weight: Font.Medium; elide: Text.ElideRight }
        Text { width: parent.width; text: Localization.platformLabel(ViewFormat.capitalized(row.device.platform)); color: Theme.secondary; font.pixelSize: Theme.captionSize; elide: Text.ElideRight }
    }
    Rectangle {
        objectName: "trashButton"
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        width: 13 + 16; height: width; radius: width / 2
        color: Qt.rgba(1, 0.27, 0.23, 0.15)
        Symbol { anchors.centerIn: parent; name: "trash"; color: Theme.red; size: 13 }
        MouseArea { anchors.fill: parent; onClicked: row.trash() }
    }
}
