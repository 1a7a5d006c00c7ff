import QtQuick
import Veloxa.Core

// One of the account's devices: the this-device tag, the name, "Platform: " and the
// platform capitalized, and the trash button that asks to sign it out.
DeviceCard {
    id: row
    required property string deviceUuid
    required deviceName
    required property string platform
    required property bool isThisDevice
    readonly property alias trashButton: trashButton
    signal trash()

    showTag: isThisDevice
    lineSpacing: 4
    platformText: qsTr("Platform: %1").arg(ViewFormat.capitalized(platform))

    Pressable {
        id: trashButton
        objectName: "trashButton"
        width: 29; height: 29
        ringRadius: 14.5
        accessibleName: qsTr("Sign out", "a device") + " " + row.deviceName
        onActivated: row.trash()
        Rectangle { anchors.fill: parent; radius: width / 2; color: Theme.redFill }
        Symbol { anchors.centerIn: parent; name: "trash"; color: Theme.red; size: 13 }
    }
}
