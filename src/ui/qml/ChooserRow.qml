import QtQuick

// A device the device-limit chooser offers to sign out: the name over the platform as the
// service sent it, 2 points apart, and Replace.
DeviceCard {
    id: row
    required property string deviceUuid
    required deviceName
    required property string platform
    signal replace()

    lineSpacing: 2
    platformText: platform

    Pressable {
        id: replaceButton
        objectName: "replace_" + row.deviceUuid
        width: Math.max(80, replaceText.implicitWidth + 20); height: 24
        accessibleName: replaceText.text + " " + row.deviceName
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
