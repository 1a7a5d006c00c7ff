import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Controls as T
import Veloxa.Core

// A modal question with a title only, a cancel button and a destructive button.
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
    background: Rectangle { radius: 12; color: "#2c2c34"; border.width: Theme.hairline; border.color: Theme.materialStroke }
    contentItem: Text {
        objectName: "question"
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
        Button {
            objectName: "destructive"
            text: dialog.destructiveText
            onClicked: { dialog.close(); dialog.confirmed() }
            contentItem: Text { text: parent.text; color: Theme.red; font.pixelSize: Theme.bodySize; font.weight: Font.DemiBold; horizontalAlignment: Text.AlignHCenter }
            background: Rectangle { radius: 6; color: Qt.rgba(1, 0.27, 0.23, 0.16); implicitWidth: 110; implicitHeight: 28 }
        }
        Button {
            objectName: "cancel"
            text: Localization.strings.cancelButton
            onClicked: dialog.close()
            contentItem: Text { text: parent.text; color: Theme.primary; font.pixelSize: Theme.bodySize; horizontalAlignment: Text.AlignHCenter }
            background: Rectangle { radius: 6; color: Qt.rgba(1, 1, 1, 0.1); implicitWidth: 110; implicitHeight: 28 }
        }
    }
}
