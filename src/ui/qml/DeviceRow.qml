import QtQuick
import Veloxa.Core

// One device: the this-device tag, name and platform, and a trailing action (the trash
// button on the account screen, Replace in the device-limit chooser).
Rectangle {
    id: row
    required property string deviceUuid
    required property string deviceName
    required property string platform
    required property bool isThisDevice
    // "trash" or "replace"
    property string action: "trash"
    signal trash()
    signal replace()

    implicitHeight: Math.max(info.implicitHeight, 29) + 24
    radius: Theme.rowRadius
    color: Theme.materialFill
    border.width: Theme.hairline
    border.color: Theme.materialStroke

    Column {
        id: info
        x: 12
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width - 24 - trailing.width - 8
        spacing: 4
        Rectangle {
            objectName: "thisDeviceTag"
            visible: row.isThisDevice
            width: tag.implicitWidth + 12; height: tag.implicitHeight + 4
            radius: height / 2
            color: Theme.accentFill
            Text { id: tag; anchors.centerIn: parent; text: qsTr("this device"); color: Theme.accent; font.pixelSize: 10 }
        }
        Text { width: parent.width; text: row.deviceName; color: Theme.primary; font.pixelSize: Theme.bodySize; font.weight: Font.Medium; elide: Text.ElideRight }
        Text {
            width: parent.width
            text: qsTr("Platform: %1").arg(ViewFormat.capitalized(row.platform))
            color: Theme.secondary; font.pixelSize: Theme.captionSize; elide: Text.ElideRight
        }
    }
    Item {
        id: trailing
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        width: row.action === "trash" ? trashButton.width : replaceButton.width
        height: row.action === "trash" ? trashButton.height : replaceButton.height
        Pressable {
            id: trashButton
            objectName: "trashButton"
            visible: row.action === "trash"
            enabled: visible
            width: 29; height: 29
            ringRadius: 14.5
            accessibleName: qsTr("Sign out", "a device") + " " + row.deviceName
            onActivated: row.trash()
            Rectangle { anchors.fill: parent; radius: width / 2; color: Theme.redFill }
            Symbol { anchors.centerIn: parent; name: "trash"; color: Theme.red; size: 13 }
        }
        Pressable {
            id: replaceButton
            objectName: "replace_" + row.deviceUuid
            visible: row.action === "replace"
            enabled: visible
            width: Math.max(80, replaceText.implicitWidth + 20); height: 24
            accessibleName: replaceText.text
            onActivated: row.replace()
            Rectangle {
                anchors.fill: parent
                radius: 6
                color: replaceButton.pressed ? Qt.rgba(1, 1, 1, 0.2) : Qt.rgba(1, 1, 1, 0.12)
                border.width: Theme.hairline
                border.color: Theme.materialStroke
            }
            Text { id: replaceText; anchors.centerIn: parent; text: qsTr("Replace"); color: Theme.primary; font.pixelSize: Theme.bodySize }
        }
    }
}
