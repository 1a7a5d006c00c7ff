import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI

// The VPN tab and its power button: what each control does in each state.
Item {
    width: 380; height: 520
    // TestCase itself is invisible; the views under test live on this stage.
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
    name: "VPNTab"
    when: windowShown
    function cleanup() { Localization.languageCode = "en" }

    Component { id: tabComponent; VPNTabView { width: 380; height: 520 } }
    SignalSpy { id: toAccount; signalName: "goToAccountTab" }

    function makeTab(state) {
        const model = fixture.model(state)
        const tab = createTemporaryObject(tabComponent, stage, { model: model })
        toAccount.target = tab
        toAccount.clear()
        return tab
    }
    function find(tab, name) { return findChild(tab, name) }

    function test_powerButtonActions() {
        // signed out: to the account tab
        let tab = makeTab("signed-out")
        mouseClick(find(tab, "powerButton"))
        compare(toAccount.count, 1)

        // signed in, inactive: connect (which clears the last error first)
        tab = makeTab("error")
        verify(tab.model.vpnErrorMessage !== null)
        mouseClick(find(tab, "powerButton"))
        compare(tab.model.vpnErrorMessage, null)
        compare(toAccount.count, 0)

        // while connecting: disabled, nothing happens
        tab = makeTab("connecting")
        verify(find(tab, "powerButton").disabled)
        compare(find(tab, "powerButton").opacity, 0.5)
        tab.model.selectedRegion = AppState.De
        mouseClick(find(tab, "powerButton"))
        compare(tab.model.tunnelStatus, TunnelStatus.Activating)
    }

    function test_regionChips() {
        let tab = makeTab("signed-out")
        mouseClick(find(tab, "chip_ru"))
        compare(toAccount.count, 1)
        compare(tab.model.selectedRegion, AppState.De)

        tab = makeTab("signed-in")
        mouseClick(find(tab, "chip_ru"))
        compare(tab.model.selectedRegion, AppState.Ru)

        tab = makeTab("connected")
        verify(find(tab, "chip_de").chipEnabled)
        verify(!find(tab, "chip_ru").chipEnabled)
        compare(find(tab, "chip_ru").opacity, 0.55)
        mouseClick(find(tab, "chip_ru"))
        compare(tab.model.selectedRegion, AppState.De)

        tab = makeTab("connecting")
        verify(!find(tab, "chip_ru").chipEnabled)
    }

    function test_bannerBottomGap() {
        let tab = makeTab("signed-in")
        compare(tab.bottomGap, 80)
        tab = makeTab("approval")
        tab.approvalBannerHeight = 40
        compare(tab.bottomGap, 24)
        tab.approvalBannerHeight = 64
        compare(tab.bottomGap, 20)
        tab.approvalBannerHeight = 120
        compare(tab.bottomGap, 20)
    }

    function test_sessionFigures() {
        let tab = makeTab("connected")
        compare(findChild(tab, "received").text, "1.5 MB")
        compare(findChild(tab, "sent").text, "2 KB")
        const time = findChild(tab, "sessionTime").value
        verify(time === "01:02:05" || time === "01:02:06", time)

        tab = makeTab("signed-in")
        compare(findChild(tab, "received").text, "—")
        compare(findChild(tab, "sessionTime").value, "—")
        verify(!findChild(tab, "subscriptionNote").visible)

        tab = makeTab("expired")
        verify(findChild(tab, "subscriptionNote").visible)
        compare(findChild(tab, "subscriptionNote").text, "Subscription expired — connection unavailable")
    }

    function test_pulseRestartsOnlyAcrossTheBusyBoundary() {
        const tab = makeTab("signed-in")
        const power = find(tab, "powerButton")
        verify(!power.busy)
        tryVerify(() => power.pulse > 0.02, 3000)
        power.status = TunnelStatus.Restarting // not busy either: no restart
        verify(power.pulse > 0.02)
        power.status = TunnelStatus.Reasserting // busy: restarts from 0
        compare(power.pulse, 0)
        compare(power.statusColor, Qt.rgba(0.98, 0.74, 0.22, 1))
    }
}
}
