pragma ComponentBehavior: Bound
import QtQuick

// Signing in hit the device limit: pick a device to sign out in favour of this one.
Column {
    id: chooser
    required property var model
    readonly property var limit: model.pendingDeviceLimit
    spacing: 12

    Text {
        objectName: "limitTitle"
        text: chooser.limit ? qsTr("Device limit reached (%1)").arg(chooser.limit.maxDevices) : ""
        color: Theme.primary; font.pixelSize: Theme.headlineSize; font.weight: Font.DemiBold
    }
    Text {
        width: parent.width
        text: qsTr("Choose a device to sign out to add this Mac.")
        color: Theme.secondary; font.pixelSize: Theme.captionSize; wrapMode: Text.WordWrap
    }
    Column {
        id: replaceable
        width: parent.width
        spacing: 8
        Repeater {
            model: chooser.model.replaceableDevices
            DeviceRow {
                width: replaceable.width
                action: "replace"
                onReplace: chooser.model.replaceDeviceLater(deviceUuid)
            }
        }
    }
    Text {
        objectName: "chooserError"
        visible: chooser.model.authErrorMessage !== null
        width: parent.width
        text: chooser.model.authErrorMessage !== null ? chooser.model.authErrorMessage : ""
        color: Theme.red; font.pixelSize: Theme.captionSize; wrapMode: Text.WordWrap
    }
    LinkButtonStyle {
        objectName: "chooserCancel"
        text: qsTr("Cancel")
        onClicked: chooser.model.pendingDeviceLimit = null
    }
}
