import QtQuick

// What the account's device rows and the device-limit chooser's rows share: a rounded row
// with the device's name over a platform line, and a trailing control. Long names elide
// in the middle: the end that tells two devices apart stays in sight.
Rectangle {
    id: card
    property string deviceName
    property string platformText
    property bool showTag: false
    property real lineSpacing: 4
    default property alias trailing: trailingSlot.data

    implicitHeight: Math.max(info.implicitHeight, 29) + 24
    radius: Theme.rowRadius
    color: Theme.materialFill
    border.width: Theme.hairline
    border.color: Theme.materialStroke

    Column {
        id: info
        x: 12
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width - 24 - trailingSlot.width - 8
        spacing: card.lineSpacing
        Rectangle {
            objectName: "thisDeviceTag"
            visible: card.showTag
            width: tag.implicitWidth + 12; height: tag.implicitHeight + 4
            radius: height / 2
            color: Theme.accentFill
            Text {
                id: tag
                anchors.centerIn: parent
                text: qsTr("this device")
                color: Theme.accent
                font.pixelSize: 10
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }
        ElidedText {
            objectName: "deviceName"
            width: parent.width
            text: card.deviceName
            color: Theme.primary; font.pixelSize: Theme.bodySize; font.weight: Font.Medium
        }
        ElidedText {
            objectName: "platform"
            width: parent.width
            text: card.platformText
            color: Theme.secondary; font.pixelSize: Theme.captionSize
        }
    }
    Item {
        id: trailingSlot
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        width: childrenRect.width
        height: childrenRect.height
    }
}
