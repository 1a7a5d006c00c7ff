import QtQuick
import QtQuick.Layouts
import Veloxa.Core

// The VPN tab: approval banner, session figures, the power button with any connection
// error under it, the region chips and the subscription note.
Item {
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
    property date now: new Date()

    function powerAction() {
        if (!model.isLoggedIn)
            goToAccountTab()
        else if (isTransitioning)
            return
        else if (isActive)
            model.disconnect()
        else
            model.connect()
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
        anchors.centerIn: parent
        width: parent.width - 40
        spacing: 16

        Item { Layout.preferredHeight: 4 }

        ApprovalBanner {
            id: banner
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
                    width: parent.width
                    label: Localization.strings.ipAddressTitle
                    value: tab.isActive ? ViewFormat.orDash(tab.model.publicIP) : ViewFormat.orDash(null)
                }
                SessionRow {
                    width: parent.width
                    label: Localization.strings.regionTitle
                    value: tab.isActive ? ViewFormat.orDash(tab.model.connectedRegionLabel) : ViewFormat.orDash(null)
                }
                SessionRow {
                    objectName: "sessionTime"
                    width: parent.width
                    label: Localization.strings.sessionTime
                    value: ViewFormat.sessionTime(tab.model.sessionStartedAt, tab.now)
                }
                SessionRow {
                    width: parent.width
                    label: Localization.strings.trafficTitle
                    value: ""
                    Row {
                        spacing: 3
                        Symbol { anchors.verticalCenter: parent.verticalCenter; name: "arrow.down"; color: Theme.blue; size: 12 }
                        Text {
                            objectName: "received"
                            text: ViewFormat.traffic(tab.isActive, tab.model.sessionRxBytes)
                            color: Theme.primary; font.pixelSize: Theme.bodySize; font.weight: Font.Medium
                        }
                    }
                    Row {
                        spacing: 3
                        Symbol { anchors.verticalCenter: parent.verticalCenter; name: "arrow.up"; color: Theme.cyan; size: 12 }
                        Text {
                            objectName: "sent"
                            text: ViewFormat.traffic(tab.isActive, tab.model.sessionTxBytes)
                            color: Theme.primary; font.pixelSize: Theme.bodySize; font.weight: Font.Medium
                        }
                    }
                }
            }
        }

        PowerButton {
            id: power
            objectName: "powerButton"
            Layout.fillWidth: true
            Layout.preferredHeight: 108 + 12
            status: tab.model.tunnelStatus
            disabled: tab.isTransitioning
            animating: tab.animating
            onAction: tab.powerAction()

            Text {
                objectName: "vpnError"
                visible: tab.model.vpnErrorMessage !== null
                text: tab.model.vpnErrorMessage !== null ? tab.model.vpnErrorMessage : ""
                y: parent.height - 6 + 14 // 14 points below the button's bottom edge
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
                color: Theme.red
                font.pixelSize: Theme.captionSize
            }
        }

        GlassCard {
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
                        title: (Localization.language, Localization.regionName(modelData.code))
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
            text: (Localization.language, Localization.subscriptionUnavailable(tab.model.subscriptionStatus))
            color: Theme.orange
            font.pixelSize: Theme.captionSize
            wrapMode: Text.WordWrap
        }

        Item { objectName: "bottomGap"; Layout.preferredHeight: tab.bottomGap }
    }
}
