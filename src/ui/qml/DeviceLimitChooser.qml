import QtQuick
import QtQuick.Controls.Basic
import Veloxa.Core

// Signing in hit the device limit: pick a device to sign out in favour of this one.
Column {
    id: chooser
    required property var model
    readonly property var limit: model.pendingDeviceLimit
    spacing: 12

    Text {
        objectName: "limitTitle"
        text: chooser.limit ? (Localization.language, Localization.deviceLimitTitle(chooser.limit.maxDevices)) : ""
        color: Theme.primary; font.pixelSize: Theme.headlineSize; font.weight: Font.DemiBold
    }
    Text {
        width: parent.width
        text: Localization.strings.chooseDeviceToReplace
        color: Theme.secondary; font.pixelSize: Theme.captionSize; wrapMode: Text.WordWrap
    }
    Column {
        width: parent.width
        spacing: 8
        Repeater {
            model: chooser.limit ? chooser.limit.devices : []
            Rectangle {
                required property var modelData
                width: parent.width
                height: Math.max(names.implicitHeight, replace.implicitHeight) + 24
                radius: Theme.rowRadius
                color: Theme.materialFill
                border.width: Theme.hairline
                border.color: Theme.materialStroke
                Column {
                    id: names
                    x: 12; anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 24 - replace.width - 8
                    spacing: 2
                    Text { width: parent.width; text: modelData.deviceName; color: Theme.primary; font.pixelSize: Theme.bodySize; font.weight: Font.Medium; elide: Text.ElideRight }
                    Text { width: parent.width; text: modelData.platform; color: Theme.secondary; font.pixelSize: Theme.captionSize; elide: Text.ElideRight }
                }
                Button {
                    id: replace
                    objectName: "replace_" + modelData.deviceUuid
                    anchors.right: parent.right; anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: Localization.strings.replaceButton
                    onClicked: chooser.model.replaceDeviceLater(modelData.deviceUuid)
                    contentItem: Text { text: replace.text; color: Theme.primary; font.pixelSize: Theme.bodySize; horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter }
                    background: Rectangle { implicitWidth: 80; implicitHeight: 24; radius: 6; color: replace.down ? Qt.rgba(1, 1, 1, 0.2) : Qt.rgba(1, 1, 1, 0.12); border.width: Theme.hairline; border.color: Theme.materialStroke }
                }
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
        text: Localization.strings.cancelButton
        onClicked: chooser.model.pendingDeviceLimit = null
    }
}
