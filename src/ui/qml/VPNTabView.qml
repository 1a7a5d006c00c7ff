pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Veloxa.Core

// The VPN tab: approval banner, session figures, the power button with any connection
// error under it, the region chips and the subscription note. The column is centred in the
// page; when it is taller than the room above the tab bar it scrolls, so nothing ever
// stays hidden behind the bar.
Flickable {
    id: tab
    required property var model
    property bool animating: true
    property real approvalBannerHeight: 0
    signal goToAccountTab()

    readonly property bool isTransitioning: model.tunnelStatus === TunnelStatus.Activating
                                            || model.tunnelStatus === TunnelStatus.Deactivating
    readonly property bool isActive: model.tunnelStatus === TunnelStatus.Active
    readonly property bool bannerShown: model.systemExtensionNeedsApproval
    // The gap at the bottom absorbs the banner's height down to 20 points.
    readonly property real bottomGap: bannerShown ? Math.max(20, 80 - (approvalBannerHeight + 16)) : 80
    // What must stay free at the bottom for the floating tab bar (62 points, 18 above the
    // window's edge) when the content scrolls.
    readonly property real tabBarRoom: 80
    readonly property bool overflows: column.implicitHeight + Math.max(0, tabBarRoom - bottomGap) > height
    property date now: new Date()

    contentWidth: width
    contentHeight: overflows ? column.implicitHeight + tabBarRoom - bottomGap : height
    flickableDirection: Flickable.VerticalFlick
    boundsBehavior: Flickable.StopAtBounds
    interactive: overflows
    clip: true

    function powerAction() {
        if (!model.isLoggedIn)
            goToAccountTab()
        else if (isTransitioning)
            return
        else
            model.toggleConnection()
    }
    function chooseRegion(region) {
        if (!model.isLoggedIn)
            goToAccountTab()
        else
            model.selectedRegion = region
    }

    // The session clock is redrawn each second while the tab is on screen.
    Timer {
        interval: 1000
        repeat: true
        running: tab.animating && tab.model.sessionStartedAt !== null
        triggeredOnStart: true
        onTriggered: tab.now = new Date()
    }

    ColumnLayout {
        id: column
        x: 20
        y: tab.overflows ? 0 : (tab.height - implicitHeight) / 2
        width: tab.width - 40
        spacing: 16

        Item { Layout.preferredHeight: 4 }

        ApprovalBanner {
            id: banner
            objectName: "approvalBanner"
            visible: tab.bannerShown
            Layout.fillWidth: true
            onHeightChanged: tab.approvalBannerHeight = height
            onOpenSettings: tab.model.approveSystemExtension()
        }

        GlassCard {
            Layout.fillWidth: true
            implicitHeight: rows.implicitHeight + 32
            Column {
                id: rows
                x: 16; y: 16
                width: parent.width - 32
                spacing: 10
                SessionRow {
                    objectName: "publicIP"
                    width: parent.width
                    label: qsTr("IP address")
                    value: tab.isActive ? ViewFormat.orDash(tab.model.publicIP) : ViewFormat.orDash(null)
                }
                SessionRow {
                    width: parent.width
                    label: qsTr("Region")
                    value: tab.isActive ? ViewFormat.orDash(tab.model.connectedRegionLabel) : ViewFormat.orDash(null)
                }
                SessionRow {
                    objectName: "sessionTime"
                    width: parent.width
                    label: qsTr("Session time")
                    value: ViewFormat.sessionTime(tab.model.sessionStartedAt, tab.now)
                }
                SessionRow {
                    width: parent.width
                    label: qsTr("Traffic")
                    value: ""
                    Row {
                        spacing: 3
                        Symbol { anchors.verticalCenter: parent.verticalCenter; name: "arrow.down"; color: Theme.blue; size: 12 }
                        Text {
                            objectName: "received"
                            text: tab.model.receivedText
                            color: Theme.primary; font.pixelSize: Theme.bodySize; font.weight: Font.Medium
                        }
                    }
                    Row {
                        spacing: 3
                        Symbol { anchors.verticalCenter: parent.verticalCenter; name: "arrow.up"; color: Theme.cyan; size: 12 }
                        Text {
                            objectName: "sent"
                            text: tab.model.sentText
                            color: Theme.primary; font.pixelSize: Theme.bodySize; font.weight: Font.Medium
                        }
                    }
                }
            }
        }

        // The button with 6 points above and below; an error hangs 14 points under it and
        // takes the room it needs, so even two lines never reach the region card.
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: 108 + 12 + (vpnError.visible ? vpnError.height + 14 - 6 : 0)
            PowerButton {
                id: power
                objectName: "powerButton"
                x: (parent.width - width) / 2
                y: 6
                width: 108; height: 108
                status: tab.model.tunnelStatus
                disabled: tab.isTransitioning
                animating: tab.animating
                onAction: tab.powerAction()
            }
            Text {
                id: vpnError
                objectName: "vpnError"
                visible: tab.model.vpnErrorMessage !== null
                text: tab.model.vpnErrorMessage !== null ? tab.model.vpnErrorMessage : ""
                y: power.y + power.height + 14
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
                color: Theme.red
                font.pixelSize: Theme.captionSize
                Accessible.role: Accessible.AlertMessage
                Accessible.name: text
            }
        }

        GlassCard {
            objectName: "regionCard"
            Layout.fillWidth: true
            implicitHeight: chips.implicitHeight + 32
            RowLayout {
                id: chips
                x: 16; y: 16
                width: parent.width - 32
                spacing: 10
                Repeater {
                    model: [{ region: AppState.De, code: "de", flag: "🇩🇪" }, { region: AppState.Ru, code: "ru", flag: "🇷🇺" }]
                    RegionChip {
                        required property var modelData
                        objectName: "chip_" + modelData.code
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        flag: modelData.flag
                        title: modelData.code === "ru" ? qsTr("Russia") : qsTr("Germany")
                        selected: tab.model.selectedRegion === modelData.region
                        chipEnabled: selected || !(tab.isActive || tab.isTransitioning)
                        onClicked: tab.chooseRegion(modelData.region)
                    }
                }
                Item { Layout.fillWidth: true; Layout.preferredWidth: 1; implicitHeight: 0 }
            }
        }

        Text {
            objectName: "subscriptionNote"
            visible: tab.model.isLoggedIn && !tab.model.canConnect
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Subscription %1 — connection unavailable").arg(Texts.statusName(tab.model.subscriptionStatus))
            color: Theme.orange
            font.pixelSize: Theme.captionSize
            wrapMode: Text.WordWrap
        }

        Item { objectName: "bottomGap"; Layout.preferredHeight: tab.bottomGap }
    }
}
