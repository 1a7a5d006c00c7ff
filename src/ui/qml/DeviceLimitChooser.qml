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
        Accessible.role: Accessible.StaticText
        Accessible.name: text
        text: chooser.limit ? qsTr("Device limit reached (%1)").arg(chooser.limit.maxDevices) : ""
        color: Theme.primary; font.pixelSize: Theme.headlineSize; font.weight: Font.DemiBold
    }
    Text {
        width: parent.width
        text: Qt.platform.os === "osx" ? qsTr("Choose a device to sign out to add this Mac.")
                                       : qsTr("Choose a device to sign out to add this computer.")
        color: Theme.secondary; font.pixelSize: Theme.captionSize; wrapMode: Text.WordWrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    Column {
        id: replaceable
        width: parent.width
        spacing: 8
        Repeater {
            model: chooser.model.replaceableDevices
            ChooserRow {
                required property int index
                objectName: "chooserRow_" + index
                width: replaceable.width
                onReplace: chooser.model.replaceDeviceLater(deviceUuid)
            }
        }
    }
    Text {
        objectName: "chooserError"
        Accessible.role: Accessible.AlertMessage
        Accessible.ignored: !visible
        Accessible.name: text
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
