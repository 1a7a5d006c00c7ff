import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI
import "recorder.js" as Recorder

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

    function test_powerButtonWhileActiveToggles() {
        const calls = []
        const tab = makeTab("connected")
        tab.model = Recorder.recorder(tab.model, calls) // afterwards: initial properties would unwrap it
        mouseClick(find(tab, "powerButton"))
        compare(calls.filter(c => c[0] !== "toString"), [["toggleConnection"]]) // which disconnects an active tunnel
    }

    // The IP row reads as a dash unless the tunnel is active and the address known.
    function test_ipRow_data() {
        return [{ tag: "connected", ip: "203.0.113.10" }, { tag: "connecting", ip: "—" },
                { tag: "signed-in", ip: "—" }, { tag: "error", ip: "—" }, { tag: "signed-out", ip: "—" }]
    }
    function test_ipRow(data) {
        compare(find(makeTab(data.tag), "publicIP").value, data.ip)
    }

    // InOutQuad, as the pulse swings: the furthest it can be after `t` of a `period`.
    function swing(t) { return t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t) }

    function test_pulseSpeedsAndBusyRing() {
        const started = Date.now()
        const idle = find(makeTab("signed-in"), "powerButton")
        verify(!findChild(idle, "pulseRing").visible)
        // Idle: 2.4 s each way, so never ahead of that curve.
        for (let i = 0; i < 5; ++i) {
            wait(200)
            const bound = swing(Math.min(1, (Date.now() - started) / 2400))
            verify(idle.pulse <= bound + 0.02, idle.pulse + " > " + bound)
        }
        // Busy: 0.9 s each way, up and back well before an idle swing could; the ring grows
        // from the disc to 100 points as it fades.
        const busy = find(makeTab("connecting"), "powerButton")
        const ring = findChild(busy, "pulseRing")
        verify(ring.visible)
        tryVerify(() => busy.pulse > 0.9, 1500)
        verify(ring.width > 98 && ring.opacity < 0.1)
        tryVerify(() => busy.pulse < 0.1, 1500)
        verify(ring.width < 84)
    }

    Component { id: eyesComponent; VeloxaEyesBackground {} }

    function test_eyesBlinkAndRestWhenHidden() {
        const eyes = createTemporaryObject(eyesComponent, stage)
        verify(eyes.nextBlinkDelay >= 3000 && eyes.nextBlinkDelay <= 6500, eyes.nextBlinkDelay)
        let narrowest = 1
        eyes.eyeScaleYChanged.connect(() => narrowest = Math.min(narrowest, eyes.eyeScaleY))
        tryVerify(() => narrowest < 1, 7000)      // a blink starts within the interval…
        tryCompare(eyes, "eyeScaleY", 1, 1000)     // …and the eyes open again
        compare(narrowest, 0.05)                   // after closing to 5 %
        tryVerify(() => eyes.glowPhase > 0.01, 3000)

        eyes.animating = false
        compare(eyes.eyeScaleY, 1)
        const glow = eyes.glowPhase
        wait(400)
        compare(eyes.glowPhase, glow)
        compare(eyes.eyeScaleY, 1)
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
