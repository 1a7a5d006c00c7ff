import QtQuick

// One traffic figure: the arrow, then the count right-aligned in a column as wide as the
// widest count, so neither the arrows nor the counts shift as the digits change ("3.4 GB",
// then "3.36 GB"). The font's digits are all one width.
Row {
    id: figure
    property string symbol
    property color tint
    property string text
    readonly property bool counting: text !== "—"
    spacing: 3
    Symbol { anchors.verticalCenter: parent.verticalCenter; name: figure.symbol; color: figure.tint; size: 12 }
    Text {
        id: count
        objectName: "count"
        anchors.verticalCenter: parent.verticalCenter
        width: figure.counting ? Math.max(implicitWidth, Math.ceil(Math.max(widest.width, bytes.width)) + 1) : implicitWidth
        horizontalAlignment: Text.AlignRight
        text: figure.text
        color: Theme.primary
        font.pixelSize: Theme.bodySize
        font.weight: Font.Medium
        Accessible.ignored: true
    }
    TextMetrics { id: widest; font: count.font; text: "1023.99 MB" }
    TextMetrics { id: bytes; font: count.font; text: "1,023 bytes" }
}
