pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Veloxa.Core

// The VPN tab: approval banner, session figures, the power button with any connection
// error (or the reconnecting note) under it, the region chips and the subscription note.
// The column is centred in the room above the tab bar; when it is taller it scrolls there,
// so nothing ever sits under the bar.
Item {
    id: tab
    required property var model
    property bool animating: true
    signal goToAccountTab()

    readonly property bool isTransitioning: model.tunnelStatus === TunnelStatus.Activating
                                            || model.tunnelStatus === TunnelStatus.Deactivating
    readonly property bool isActive: model.tunnelStatus === TunnelStatus.Active
    // The service brings a dropped connection back; the session (figures, address,
    // region) carries on through it.
    readonly property bool isReasserting: model.tunnelStatus === TunnelStatus.Reasserting
    readonly property bool showsSession: isActive || isReasserting
    property date now: new Date()

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

    CenteredScrollView {
        id: scroll
        objectName: "pageScroll"
        anchors.fill: parent
        anchors.bottomMargin: Theme.pageBottomInset

        ColumnLayout {
            id: column
            x: 20
            y: Math.max(0, (scroll.height - implicitHeight) / 2)
            width: scroll.width - 40
            spacing: 16

            Item { Layout.preferredHeight: 4 }

            ApprovalBanner {
                objectName: "approvalBanner"
                visible: tab.model.systemExtensionNeedsApproval
                Layout.fillWidth: true
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
                        value: tab.showsSession ? ViewFormat.orDash(tab.model.publicIP) : ViewFormat.orDash(null)
                        stale: tab.isReasserting && tab.model.publicIP !== null
                    }
                    SessionRow {
                        objectName: "region"
                        width: parent.width
                        label: qsTr("Region")
                        value: tab.showsSession ? ViewFormat.orDash(tab.model.connectedRegionLabel) : ViewFormat.orDash(null)
                        stale: tab.isReasserting && tab.model.connectedRegionLabel !== null
                    }
                    SessionRow {
                        objectName: "sessionTime"
                        width: parent.width
                        label: qsTr("Session time")
                        value: ViewFormat.sessionTime(tab.model.sessionStartedAt, tab.now)
                    }
                    SessionRow {
                        objectName: "traffic"
                        width: parent.width
                        label: qsTr("Traffic")
                        value: ""
                        spokenValue: qsTr("received %1, sent %2").arg(tab.model.receivedText).arg(tab.model.sentText)
                        TrafficFigure { objectName: "received"; symbol: "arrow.down"; tint: Theme.blue; text: tab.model.receivedText }
                        TrafficFigure { objectName: "sent"; symbol: "arrow.up"; tint: Theme.cyan; text: tab.model.sentText }
                    }
                }
            }

            // The button with 6 points above and below; the error or the reconnecting note
            // hangs 14 points under it and takes the room it needs, however many lines.
            Item {
                Layout.fillWidth: true
                Layout.preferredHeight: 108 + 12 + (notes.height > 0 ? notes.height + 14 - 6 : 0)
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
                Column {
                    id: notes
                    y: power.y + power.height + 14
                    width: parent.width
                    spacing: 6
                    Text {
                        objectName: "reconnectingNote"
                        visible: tab.isReasserting
                        width: parent.width
                        text: qsTr("Reconnecting… traffic is held until the VPN is back")
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        color: Theme.amber
                        font.pixelSize: Theme.captionSize
                        Accessible.role: Accessible.StaticText
                        Accessible.ignored: !visible
                        Accessible.name: text
                    }
                    Text {
                        objectName: "vpnError"
                        visible: tab.model.vpnErrorMessage !== null
                        width: parent.width
                        text: tab.model.vpnErrorMessage !== null ? tab.model.vpnErrorMessage : ""
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                        color: Theme.red
                        font.pixelSize: Theme.captionSize
                        Accessible.role: Accessible.AlertMessage
                        Accessible.ignored: !visible
                        Accessible.name: text
                    }
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
                            chipEnabled: selected || !(tab.showsSession || tab.isTransitioning)
                            onClicked: tab.chooseRegion(modelData.region)
                        }
                    }
                    Item { Layout.fillWidth: true; Layout.preferredWidth: 1; implicitHeight: 0 }
                }
            }

            Text {
                objectName: "subscriptionNote"
                Accessible.role: Accessible.StaticText
                Accessible.ignored: !visible
                Accessible.name: text
                visible: tab.model.isLoggedIn && !tab.model.canConnect
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignHCenter
                text: qsTr("Subscription %1 — connection unavailable").arg(Texts.statusName(tab.model.subscriptionStatus))
                color: Theme.orange
                font.pixelSize: Theme.captionSize
                wrapMode: Text.WordWrap
            }
        }
    }
}
