import QtQuick
import QtQuick.Controls.Basic
import Veloxa.Core

// The signed-in account: e-mail, subscription, expiry, the devices (this one first) and
// signing out, with both confirmations.
Item {
    id: view
    required property var model
    readonly property bool active: model.subscriptionStatus === "active"
    readonly property string thisDeviceUuid: model.currentDeviceUUID()
    // This device first, the others in the service's order.
    readonly property var orderedDevices: {
        const all = model.devices
        return all.filter(d => d.deviceUuid === thisDeviceUuid).concat(all.filter(d => d.deviceUuid !== thisDeviceUuid))
    }
    property var revokeTarget: null

    GlassCard {
        id: card
        objectName: "accountCard"
        x: 20; y: 20
        width: parent.width - 40
        height: lines.implicitHeight + 32
        Column {
            id: lines
            x: 16; y: 16
            width: parent.width - 32
            spacing: 6
            Text { text: view.model.email; color: Theme.primary; font.pixelSize: Theme.headlineSize; font.weight: Font.DemiBold; width: parent.width; elide: Text.ElideRight }
            Row {
                spacing: 4
                Text { text: Localization.strings.statusTitle; color: Theme.secondary; font.pixelSize: Theme.bodySize }
                Text {
                    objectName: "statusWord"
                    text: (Localization.language, Localization.subscriptionStatusName(view.model.subscriptionStatus))
                    color: view.active ? Theme.green : Theme.orange
                    font.pixelSize: Theme.bodySize; font.weight: Font.Medium
                }
            }
            Row {
                spacing: 4
                Text { text: Localization.strings.validUntil; color: Theme.secondary; font.pixelSize: Theme.bodySize }
                Text { objectName: "expiry"; text: (Localization.language, ViewFormat.expiryDate(view.model.expiresAt)); color: Theme.primary; font.pixelSize: Theme.bodySize }
            }
            Item { visible: !view.active; width: 1; height: 4 - lines.spacing }
            Rectangle {
                objectName: "activateButton"
                visible: !view.active
                width: parent.width; height: activate.implicitHeight + 20
                radius: 10
                color: Theme.accent
                Text { id: activate; anchors.centerIn: parent; text: Localization.strings.activateSubscription; color: "white"; font.pixelSize: 13; font.weight: Font.DemiBold }
                MouseArea { anchors.fill: parent; onClicked: Qt.openUrlExternally(ViewFormat.pricingURL(view.model.email)) }
            }
        }
    }

    CenteredScrollView {
        anchors.top: card.bottom
        anchors.topMargin: 12
        anchors.bottom: parent.bottom
        width: parent.width
        Column {
            x: 20
            width: parent.width - 40
            spacing: 10
            bottomPadding: 90
            Text {
                objectName: "devicesHeader"
                text: (Localization.language, Localization.devicesHeader(view.model.devices.length))
                color: Theme.primary; font.pixelSize: Theme.subheadlineSize; font.weight: Font.Medium
            }
            Repeater {
                model: view.orderedDevices
                DeviceRow {
                    required property var modelData
                    required property int index
                    objectName: "device_" + index
                    width: parent.width
                    device: modelData
                    isThisDevice: modelData.deviceUuid === view.thisDeviceUuid
                    onTrash: { view.revokeTarget = { device: modelData, isThisDevice: isThisDevice }; deviceConfirm.open() }
                }
            }
            Text {
                objectName: "accountError"
                visible: view.model.authErrorMessage !== null
                width: parent.width
                text: view.model.authErrorMessage !== null ? view.model.authErrorMessage : ""
                color: Theme.red; font.pixelSize: Theme.captionSize; wrapMode: Text.WordWrap
            }
            Item { width: 1; height: 8 - parent.spacing }
            Rectangle {
                objectName: "signOutButton"
                anchors.horizontalCenter: parent.horizontalCenter
                width: signOutText.implicitWidth + 40; height: signOutText.implicitHeight + 14
                radius: height / 2
                color: Qt.rgba(1, 0.27, 0.23, 0.16)
                Text { id: signOutText; anchors.centerIn: parent; text: Localization.strings.signOutButton; color: Theme.red; font.pixelSize: 13; font.weight: Font.DemiBold }
                MouseArea { anchors.fill: parent; onClicked: signOutConfirm.open() }
            }
        }
    }

    ConfirmDialog {
        id: deviceConfirm
        objectName: "deviceConfirm"
        question: view.revokeTarget === null ? ""
                : view.revokeTarget.isThisDevice ? Localization.strings.signOutThisDeviceConfirm
                : (Localization.language, Localization.signOutDeviceConfirm(view.revokeTarget.device.deviceName))
        destructiveText: Localization.strings.signOutDeviceButton
        onConfirmed: if (view.revokeTarget !== null) view.model.revokeDeviceLater(view.revokeTarget.device.deviceUuid)
        onClosed: view.revokeTarget = null
    }
    ConfirmDialog {
        id: signOutConfirm
        objectName: "signOutConfirm"
        question: Localization.strings.signOutAccountConfirm
        destructiveText: Localization.strings.signOutButton
        onConfirmed: view.model.signOut()
    }
}
