pragma ComponentBehavior: Bound
import QtQuick
import Veloxa.Core

// The signed-in account: e-mail, subscription, expiry, the devices (this one first) and
// signing out, with both confirmations.
Item {
    id: view
    required property var model
    readonly property bool active: model.subscriptionIsActive
    property var revokeTarget: null

    function refocusAfterRemoval(index) {
        const left = deviceRows.count
        const next = left > 0 ? (deviceRows.itemAt(Math.min(index, left - 1)) as DeviceRow).trashButton : signOutButton
        next.forceActiveFocus(Qt.TabFocusReason)
    }

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
            ElidedText {
                objectName: "email"
                width: parent.width
                text: view.model.email
                color: Theme.primary; font.pixelSize: Theme.headlineSize; font.weight: Font.DemiBold
            }
            // Each line is read out as one text: "Status: active", "Valid until: …".
            Row {
                spacing: 4
                Accessible.role: Accessible.StaticText
                Accessible.name: statusTitle.text + " " + statusWord.text
                Text { id: statusTitle; text: qsTr("Status:"); color: Theme.secondary; font.pixelSize: Theme.bodySize; Accessible.ignored: true }
                Text {
                    id: statusWord
                    objectName: "statusWord"
                    text: Texts.statusName(view.model.subscriptionStatus)
                    color: view.active ? Theme.green : Theme.orange
                    font.pixelSize: Theme.bodySize; font.weight: Font.Medium
                    Accessible.ignored: true
                }
            }
            Row {
                spacing: 4
                Accessible.role: Accessible.StaticText
                Accessible.name: expiryTitle.text + " " + expiry.text
                Text { id: expiryTitle; text: qsTr("Valid until:"); color: Theme.secondary; font.pixelSize: Theme.bodySize; Accessible.ignored: true }
                Text {
                    id: expiry
                    objectName: "expiry"
                    text: ViewFormat.expiryDate(view.model.expiresAt, Localization.languageCode)
                    color: Theme.primary; font.pixelSize: Theme.bodySize
                    Accessible.ignored: true
                }
            }
            // 4 points above the button: the button sits at the bottom of a taller slot.
            Item {
                visible: !view.active
                width: parent.width
                height: activateButton.height + 4 - lines.spacing
                Pressable {
                    id: activateButton
                    objectName: "activateButton"
                    anchors.bottom: parent.bottom
                    width: parent.width; height: activate.implicitHeight + 20
                    ringRadius: 10
                    accessibleName: activate.text
                    accessibleRole: Accessible.Link
                    onActivated: Qt.openUrlExternally(ViewFormat.pricingURL(view.model.email))
                    Rectangle { anchors.fill: parent; radius: 10; color: Theme.accent; opacity: activateButton.pressed ? 0.8 : 1 }
                    Text { id: activate; anchors.centerIn: parent; text: qsTr("Activate subscription"); color: "white"; font.pixelSize: Theme.bodySize; font.weight: Font.DemiBold }
                }
            }
        }
    }

    CenteredScrollView {
        objectName: "pageScroll"
        anchors.top: card.bottom
        anchors.topMargin: 12
        anchors.bottom: parent.bottom
        anchors.bottomMargin: Theme.pageBottomInset
        width: parent.width
        Column {
            id: deviceColumn
            x: 20
            width: parent.width - 40
            spacing: 10
            topPadding: 4 // room for a focus ring
            bottomPadding: 8
            Text {
                objectName: "devicesHeader"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                text: qsTr("Devices (%1/5)").arg(view.model.devices.length)
                color: Theme.primary; font.pixelSize: Theme.subheadlineSize; font.weight: Font.Medium
            }
            Repeater {
                id: deviceRows
                model: view.model.deviceList
                // The row that had the keyboard goes: the keyboard moves to the row now in
                // its place, else to the one before, else to Sign out.
                onItemRemoved: (index, item) => {
                    if ((item as DeviceRow).trashButton.activeFocus)
                        Qt.callLater(view.refocusAfterRemoval, index)
                }
                DeviceRow {
                    required property int index
                    objectName: "device_" + index
                    width: deviceColumn.width
                    onTrash: {
                        view.revokeTarget = { deviceUuid: deviceUuid, deviceName: deviceName, isThisDevice: isThisDevice }
                        deviceConfirm.open()
                    }
                }
            }
            Text {
                objectName: "accountError"
                Accessible.role: Accessible.AlertMessage
                Accessible.ignored: !visible
                Accessible.name: text
                visible: view.model.authErrorMessage !== null
                width: parent.width
                text: view.model.authErrorMessage !== null ? view.model.authErrorMessage : ""
                color: Theme.red; font.pixelSize: Theme.captionSize; wrapMode: Text.WordWrap
            }
            // 8 points above Sign out.
            Item {
                width: parent.width
                height: signOutButton.height + 8 - parent.spacing
                Pressable {
                    id: signOutButton
                    objectName: "signOutButton"
                    anchors.horizontalCenter: parent.horizontalCenter
                    anchors.bottom: parent.bottom
                    width: signOutText.implicitWidth + 40; height: signOutText.implicitHeight + 14
                    ringRadius: height / 2
                    accessibleName: signOutText.text
                    onActivated: signOutConfirm.open()
                    Rectangle { anchors.fill: parent; radius: height / 2; color: Theme.redFill; opacity: signOutButton.pressed ? 0.7 : 1 }
                    Text { id: signOutText; anchors.centerIn: parent; text: qsTr("Sign out"); color: Theme.red; font.pixelSize: Theme.bodySize; font.weight: Font.DemiBold }
                }
            }
        }
    }

    ConfirmDialog {
        id: deviceConfirm
        objectName: "deviceConfirm"
        question: view.revokeTarget === null ? ""
                : view.revokeTarget.isThisDevice ? qsTr("Sign out this device? The VPN will disconnect and you'll need to sign in again.")
                : qsTr("Sign out device “%1”? Its keys will stop working.").arg(view.revokeTarget.deviceName)
        destructiveText: qsTr("Sign out", "a device")
        onConfirmed: if (view.revokeTarget !== null) view.model.revokeDeviceLater(view.revokeTarget.deviceUuid)
        onClosed: view.revokeTarget = null
    }
    ConfirmDialog {
        id: signOutConfirm
        objectName: "signOutConfirm"
        question: qsTr("Sign out of your account? The VPN will disconnect on this device.")
        destructiveText: qsTr("Sign out")
        onConfirmed: view.model.signOut()
    }
}
