pragma ComponentBehavior: Bound
import QtQuick
import Veloxa.Core

// The floating capsule of three tab buttons; the highlight slides with a spring when a
// tab is chosen here and jumps when the tab changes elsewhere.
Item {
    id: bar
    property int selected: AppState.Vpn
    property bool animateNextChange: false
    signal chosen(int tab)

    width: 340
    height: 62
    readonly property real buttonWidth: (width - 16) / 3

    // Shadow: black 25 %, radius 12, 4 points down; blurred once, then only drawn.
    Image {
        x: -12; y: 4 - 12
        source: "image://halo/capsule?color=" + encodeURIComponent("#000000") + "&blur=12"
        sourceSize.width: bar.width
        sourceSize.height: bar.height
        opacity: 0.25
        cache: true
    }
    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: Qt.rgba(0.16, 0.16, 0.22, 0.94)
        border.width: Theme.hairline
        border.color: Theme.materialStroke
    }
    Rectangle {
        id: highlight
        objectName: "tabHighlight"
        y: 8
        height: 46
        width: bar.buttonWidth
        x: 8 + bar.selected * bar.buttonWidth
        radius: height / 2
        color: Theme.materialFill
        border.width: Theme.hairline
        border.color: Theme.materialStroke
        Behavior on x {
            enabled: bar.animateNextChange
            NumberAnimation { duration: Theme.springDuration; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.springCurve }
        }
    }
    Row {
        x: 8; y: 8
        Repeater {
            model: [{ tab: AppState.Vpn, icon: "bolt.shield.fill", key: "tabVPN", title: qsTr("VPN") },
                    { tab: AppState.User, icon: "person.crop.circle.fill", key: "tabAccount", title: qsTr("Account") },
                    { tab: AppState.About, icon: "info.circle.fill", key: "tabAbout", title: qsTr("About") }]
            Pressable {
                id: tabButton
                required property var modelData
                objectName: "tab_" + modelData.key
                width: bar.buttonWidth
                height: 46
                ringRadius: 23
                accessibleName: modelData.title
                accessibleRole: Accessible.PageTab
                checked: bar.selected === modelData.tab
                onActivated: bar.chosen(modelData.tab)
                readonly property color tint: bar.selected === modelData.tab ? Theme.accent : Theme.secondary
                Column {
                    anchors.centerIn: parent
                    spacing: 2
                    Symbol { anchors.horizontalCenter: parent.horizontalCenter; name: tabButton.modelData.icon; color: tabButton.tint; size: 17 }
                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: Math.min(implicitWidth, bar.buttonWidth - 8)
                        text: tabButton.modelData.title
                        color: tabButton.tint
                        font.pixelSize: 9
                        font.weight: Font.Medium
                        fontSizeMode: Text.HorizontalFit
                        minimumPixelSize: 7 // 75 % before it truncates
                        elide: Text.ElideRight
                        horizontalAlignment: Text.AlignHCenter
                    }
                }
            }
        }
    }
}
