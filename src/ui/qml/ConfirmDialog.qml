import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Controls as T

// A modal question with a title only, a cancel button and a destructive button. Cancel
// is the default: Return on it (where the focus starts) and Escape both close without
// doing anything; Tab reaches the destructive button.
Dialog {
    id: dialog
    property string question
    property string destructiveText
    signal confirmed()

    modal: true
    anchors.centerIn: T.Overlay.overlay
    width: 300
    padding: 18
    closePolicy: Popup.CloseOnEscape
    onOpened: cancelButton.forceActiveFocus()
    background: Rectangle { radius: Theme.popupRadius; color: Theme.popupFill; border.width: Theme.hairline; border.color: Theme.materialStroke }
    contentItem: Text {
        objectName: "question"
        Accessible.role: Accessible.Dialog
        Accessible.name: dialog.question
        width: dialog.availableWidth
        text: dialog.question
        color: Theme.primary
        font.pixelSize: Theme.bodySize
        font.weight: Font.DemiBold
        wrapMode: Text.WordWrap
        horizontalAlignment: Text.AlignHCenter
    }
    footer: Row {
        spacing: 10
        padding: 14
        topPadding: 0
        layoutDirection: Qt.RightToLeft
        Pressable {
            id: destructiveButton
            objectName: "destructive"
            width: 110; height: 28
            accessibleName: dialog.destructiveText
            // Confirmed first: closing resets what the question was about.
            onActivated: { dialog.confirmed(); dialog.close() }
            Rectangle { anchors.fill: parent; radius: 6; color: Theme.redFill; opacity: destructiveButton.pressed ? 0.7 : 1 }
            Text { anchors.centerIn: parent; text: dialog.destructiveText; color: Theme.red; font.pixelSize: Theme.bodySize; font.weight: Font.DemiBold }
        }
        Pressable {
            id: cancelButton
            objectName: "cancel"
            width: 110; height: 28
            accessibleName: qsTr("Cancel")
            onActivated: dialog.close()
            // The default button: outlined in the accent colour.
            Rectangle { anchors.fill: parent; radius: 6; color: Qt.rgba(1, 1, 1, cancelButton.pressed ? 0.18 : 0.1); border.width: 1; border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.6) }
            Text { anchors.centerIn: parent; text: qsTr("Cancel"); color: Theme.primary; font.pixelSize: Theme.bodySize }
        }
    }
}
