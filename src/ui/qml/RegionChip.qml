import QtQuick

// A region to connect to: flag and name, a selection ring in the corner.
Pressable {
    id: chip
    property string flag
    property string title
    property bool selected: false
    property bool chipEnabled: true
    signal clicked()

    enabled: chipEnabled
    accessibleName: title
    accessibleRole: Accessible.RadioButton
    checked: selected
    ringRadius: Theme.rowRadius
    implicitHeight: column.implicitHeight + 24
    opacity: chipEnabled ? 1 : 0.55
    onActivated: chip.clicked()

    Rectangle {
        anchors.fill: parent
        radius: Theme.rowRadius
        color: chip.selected ? Theme.accentFill : Qt.rgba(1, 1, 1, 0.03)
        border.width: 1
        border.color: chip.selected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.55) : Qt.rgba(1, 1, 1, 0.06)
    }
    Column {
        id: column
        anchors.centerIn: parent
        spacing: 4
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: chip.flag
            font.pixelSize: 26
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(implicitWidth, chip.width - 8)
            text: chip.title
            color: Theme.primary
            font.pixelSize: 12
            font.weight: Font.Medium
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 10 // 80 %
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignHCenter
        }
    }
    // selection mark, 6 points in from the top-trailing corner
    Rectangle {
        x: parent.width - 6 - width
        y: 6
        width: 16; height: 16; radius: 8
        color: "transparent"
        border.width: 1.5
        border.color: chip.selected ? Theme.accent : Qt.rgba(Theme.secondary.r, Theme.secondary.g, Theme.secondary.b, Theme.secondary.a * 0.4)
        Rectangle {
            visible: chip.selected
            anchors.centerIn: parent
            width: 10; height: 10; radius: 5
            color: Theme.accent
        }
    }
}
