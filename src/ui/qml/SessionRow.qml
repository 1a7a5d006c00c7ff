import QtQuick

// One line of the session card: the label on the leading side, the value on the trailing
// side. A value too wide to sit beside its label (an IPv6 address) moves to a line of its
// own under it, still right-aligned; one too wide even for that is elided in the middle,
// whole on hover. A value that fits can be selected and copied. Screen readers get the row
// as one static text: label and value.
Item {
    id: row
    property string label
    property string value
    // Still shown, but held over from before a reconnect: dimmed, with a mark.
    property bool stale: false
    // The value as read out, when the row shows it by other means (the traffic figures).
    property string spokenValue: value
    default property alias trailing: trailingSlot.data

    readonly property real lineHeight: 16
    readonly property real markWidth: stale ? 10 : 0
    readonly property real valueWidth: valueInput.implicitWidth + markWidth
    readonly property bool wraps: value !== "" && labelText.implicitWidth + 12 + valueWidth > width
    readonly property bool elided: value !== "" && valueWidth > width
    implicitHeight: wraps ? 2 * lineHeight + 4 : lineHeight

    Accessible.role: Accessible.StaticText
    Accessible.name: label + ": " + spokenValue + (stale ? " (" + qsTr("reconnecting") + ")" : "")

    Text {
        id: labelText
        objectName: "label"
        height: row.lineHeight
        verticalAlignment: Text.AlignVCenter
        text: row.label
        color: Theme.secondary
        font.pixelSize: Theme.bodySize
        Accessible.ignored: true
    }
    Row {
        id: trailingSlot
        anchors.right: parent.right
        height: row.lineHeight
        spacing: 10
    }

    Item {
        id: valueLine
        objectName: "value"
        visible: row.value !== ""
        y: row.wraps ? row.lineHeight + 4 : 0
        x: row.width - width
        width: Math.min(row.valueWidth, row.width)
        height: row.lineHeight
        // held through a reconnect
        Rectangle {
            objectName: "staleMark"
            visible: row.stale
            anchors.verticalCenter: parent.verticalCenter
            width: 6; height: 6; radius: 3
            color: Theme.amber
        }
        TextInput {
            id: valueInput
            objectName: "valueInput"
            visible: !row.elided
            x: row.markWidth
            height: row.lineHeight
            verticalAlignment: TextInput.AlignVCenter
            text: row.value
            readOnly: true
            selectByMouse: true
            selectionColor: Theme.accent
            selectedTextColor: "white"
            color: row.stale ? Theme.secondary : Theme.primary
            font.pixelSize: Theme.bodySize
            font.weight: Font.Medium
            Accessible.ignored: true
        }
        ElidedText {
            visible: row.elided
            x: row.markWidth
            width: parent.width - row.markWidth
            height: row.lineHeight
            verticalAlignment: Text.AlignVCenter
            horizontalAlignment: Text.AlignRight
            text: row.value
            color: valueInput.color
            font: valueInput.font
            Accessible.ignored: true
        }
    }
}
