import QtQuick

// One line of the session card: label on the leading side, value on the trailing side.
Item {
    id: row
    property string label
    property string value
    default property alias trailing: trailingSlot.data
    implicitHeight: 16
    Text {
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        text: row.label
        color: Theme.secondary
        font.pixelSize: Theme.bodySize
    }
    Row {
        id: trailingSlot
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        spacing: 10
        Text {
            visible: row.value !== ""
            text: row.value
            color: Theme.primary
            font.pixelSize: Theme.bodySize
            font.weight: Font.Medium
        }
    }
}
