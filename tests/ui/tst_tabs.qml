import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI
import "recorder.js" as Recorder

// The VPN tab: what each control does in each state, the session card with real-world
// figures and through a reconnect, and the motions measured on a hand-moved clock. The
// account tab: which screen shows, the sign-in form's rules, the account screen.
Item {
    width: 380; height: 520
    // TestCase itself is invisible; the views under test live on this stage.
    Item { id: stage; anchors.fill: parent }

TestCase {
    name: "VPNTab"
    when: windowShown
    function cleanup() {
        Localization.languageCode = "en"
        fixture.releaseClock()
    }

    Component { id: tabComponent; VPNTabView { width: 380; height: 520 } }
    Component { id: powerComponent; PowerButton { width: 108; height: 108 } }
    Component { id: eyesComponent; VeloxaEyesBackground {} }
    SignalSpy { id: toAccount; signalName: "goToAccountTab" }

    // `calls`, when given, records the operations the tab runs on the model.
    function makeTab(state, calls) {
        const model = fixture.model(state)
        const tab = createTemporaryObject(tabComponent, stage, { model: model })
        if (calls) // set afterwards: initial properties would unwrap the proxy
            tab.model = Recorder.recorder(model, calls)
        toAccount.target = tab
        toAccount.clear()
        return tab
    }
    function find(tab, name) { return findChild(tab, name) }
    function rect(item, within) { return item.mapToItem(within, 0, 0, item.width, item.height) }

    // A click on the power button or a chip, in each state: the operation it runs, the
    // region it leaves selected, whether it sends the user to the account tab.
    function test_controls_data() {
        return [
            { tag: "signed out: button", state: "signed-out", click: "powerButton", toAccount: 1 },
            { tag: "signed out: chip", state: "signed-out", click: "chip_ru", toAccount: 1 },
            { tag: "signed in: chip", state: "signed-in", click: "chip_ru", region: AppState.Ru },
            { tag: "signed in: button", state: "error", click: "powerButton", calls: [["toggleConnection"]] },
            { tag: "connecting: button", state: "connecting", click: "powerButton" },
            { tag: "connecting: chip", state: "connecting", click: "chip_ru" },
            { tag: "connected: button", state: "connected", click: "powerButton", calls: [["toggleConnection"]] },
            { tag: "connected: chip", state: "connected", click: "chip_ru" },
            { tag: "reconnecting: button", state: "reconnecting", click: "powerButton", calls: [["toggleConnection"]] },
            { tag: "reconnecting: chip", state: "reconnecting", click: "chip_ru" },
        ]
    }
    function test_controls(data) {
        const calls = []
        const tab = makeTab(data.state, calls)
        mouseClick(find(tab, data.click))
        compare(calls.filter(c => c[0] !== "toString"), data.calls || [])
        compare(tab.model.selectedRegion, data.region === undefined ? AppState.De : data.region)
        compare(toAccount.count, data.toAccount || 0)
    }

    // The card's rows, the button's busy ring and the notes under it, per state. Through a
    // reconnect the session's figures, address and region stay, the last two marked.
    function test_sessionCard_data() {
        const dash = "—"
        return [
            { tag: "connected", ip: "203.0.113.10", region: "Germany · Frankfurt", received: "1.5 MB", sent: "2 KB", clock: true },
            { tag: "reconnecting", ip: "203.0.113.10", region: "Germany · Frankfurt", received: "1.5 MB", sent: "2 KB", clock: true,
              stale: true, busy: true, note: "Reconnecting… traffic is held until the VPN is back" },
            { tag: "connecting", ip: dash, region: dash, received: dash, sent: dash, clock: true, busy: true },
            { tag: "signed-in", ip: dash, region: dash, received: dash, sent: dash },
            { tag: "expired", ip: dash, region: dash, received: dash, sent: dash,
              note: "Subscription expired — connection unavailable" },
        ]
    }
    function test_sessionCard(data) {
        const tab = makeTab(data.tag)
        for (const [row, value] of [["publicIP", data.ip], ["region", data.region]]) {
            compare(find(tab, row).value, value)
            compare(findChild(find(tab, row), "staleMark").visible, !!data.stale)
        }
        compare(find(tab, "received").text, data.received)
        compare(find(tab, "sent").text, data.sent)
        const time = find(tab, "sessionTime").value
        verify(data.clock ? /^\d\d:\d\d:\d\d$/.test(time) : time === "—", time)
        compare(findChild(find(tab, "powerButton"), "pulseRing").visible, !!data.busy)
        const notes = ["reconnectingNote", "subscriptionNote"].map(name => find(tab, name)).filter(note => note.visible)
        compare(notes.map(note => note.text), data.note ? [data.note] : [])
    }

    // The longest IPv6 address, in every language: beside or under its label, never over
    // it, whole and selectable; the rows below make room for it.
    function test_ipv6AddressFits_data() {
        return ["en", "ru", "es", "de"].map(code => ({ tag: code, code: code }))
    }
    function test_ipv6AddressFits(data) {
        Localization.languageCode = data.code
        const tab = makeTab("ipv6-connected")
        const row = find(tab, "publicIP")
        const label = rect(findChild(row, "label"), tab)
        const value = rect(findChild(row, "value"), tab)
        verify(label.x + label.width <= value.x || label.y + label.height <= value.y,
               JSON.stringify([label, value]))
        verify(value.x >= label.x && value.x + value.width <= rect(row, tab).x + row.width + 0.5)
        verify(rect(find(tab, "region"), tab).y >= value.y + value.height)
        const input = findChild(row, "valueInput")
        verify(input.visible)
        input.selectAll()
        compare(input.selectedText, "2001:db8:1234:5678:9abc:def0:1234:5678")
    }

    // As the counts change ("3.4 GB", then "3.36 GB") neither the arrows nor the counts'
    // trailing edges move.
    function test_trafficStaysPut() {
        const tab = makeTab("ipv6-connected")
        const edges = () => ["received", "sent"].map(name => {
            const count = findChild(find(tab, name), "count")
            return [rect(find(tab, name), tab).x, rect(count, tab).x + count.width]
        })
        const first = edges()
        for (const bytes of [3650722202, 3607772529, 0, 1023, 1536, 1572864, 13421772800, 1099511627776]) {
            fixture.setCounters(tab.model, bytes, bytes)
            compare(edges(), first, find(tab, "received").text)
        }
    }

    // A long connection error is shown whole, clear of the region card below it.
    function test_longErrorShownWhole() {
        const tab = makeTab("long-error")
        const error = find(tab, "vpnError")
        verify(error.lineCount > 2 && !error.truncated, error.lineCount)
        const card = find(tab, "regionCard")
        tryVerify(() => rect(error, tab).y + error.height <= rect(card, tab).y) // once laid out
    }

    // Busy statuses pulse fast (up and back within a second) with the outer ring in the
    // busy colour; the others breathe slowly without it. Crossing that line starts the
    // pulse over; moving within one side does not.
    function test_pulse_data() {
        return [
            { tag: "activating", status: TunnelStatus.Activating, busy: true, other: TunnelStatus.Active },
            { tag: "deactivating", status: TunnelStatus.Deactivating, busy: true, other: TunnelStatus.Inactive },
            { tag: "reasserting", status: TunnelStatus.Reasserting, busy: true, other: TunnelStatus.Active },
            { tag: "inactive", status: TunnelStatus.Inactive, busy: false, other: TunnelStatus.Reasserting },
            { tag: "active", status: TunnelStatus.Active, busy: false, other: TunnelStatus.Deactivating },
            { tag: "restarting", status: TunnelStatus.Restarting, busy: false, other: TunnelStatus.Activating },
            { tag: "waiting", status: TunnelStatus.Waiting, busy: false, other: TunnelStatus.Activating },
        ]
    }
    function test_pulse(data) {
        const clock = fixture.clock()
        const busyLook = createTemporaryObject(powerComponent, stage, { status: TunnelStatus.Activating })
        const power = createTemporaryObject(powerComponent, stage, { status: data.status })
        compare(findChild(power, "pulseRing").visible, data.busy)
        compare(Qt.colorEqual(power.statusColor, busyLook.statusColor), data.busy)
        let highest = 0
        for (let t = 0; t < 1000; t += 40) {
            clock.step(40)
            highest = Math.max(highest, power.pulse)
        }
        verify(data.busy ? highest > 0.95 && power.pulse < highest : highest < 0.5, highest)
        clock.step(500)
        const before = power.pulse
        power.status = data.busy ? (data.status === TunnelStatus.Activating ? TunnelStatus.Deactivating : TunnelStatus.Activating)
                                 : (data.status === TunnelStatus.Waiting ? TunnelStatus.Restarting : TunnelStatus.Waiting)
        compare(power.pulse, before)
        power.status = data.other
        compare(power.pulse, 0)
    }

    // Successive blinks start 3.22 to 6.72 s apart (a wait drawn anew each time, plus the
    // blink), spread over that range; the eyes close to 5 %; hidden, nothing moves.
    function test_blinks() {
        const clock = fixture.clock()
        const eyes = createTemporaryObject(eyesComponent, stage)
        const starts = []
        let open = true
        let narrowest = 1
        eyes.eyeScaleYChanged.connect(() => {
            narrowest = Math.min(narrowest, eyes.eyeScaleY)
            if (open && eyes.eyeScaleY < 1)
                starts.push(clock.now)
            open = eyes.eyeScaleY === 1
        })
        for (let i = 0; i < 400 && starts.length < 41; ++i)
            clock.step(1000)
        const gaps = starts.slice(1).map((start, i) => start - starts[i])
        compare(gaps.length, 40)
        verify(gaps.every(gap => gap >= 3220 && gap <= 6760), gaps)
        verify(Math.min(...gaps) < 4220 && Math.max(...gaps) > 5720, gaps)
        compare(narrowest, 0.05)

        eyes.animating = false
        compare(eyes.eyeScaleY, 1)
        const glow = eyes.glowPhase
        clock.step(8000)
        compare(eyes.glowPhase, glow)
        compare(starts.length, 41)
    }
}

TestCase {
    name: "UserTab"
    when: windowShown
    function cleanup() { Localization.languageCode = "en" }

    Component { id: userTabComponent; UserTabView { width: 380; height: 520 } }

    // `calls`, when given, records the operations the view runs on the model.
    function makeTab(state, calls) {
        const model = fixture.model(state)
        const tab = createTemporaryObject(userTabComponent, stage, { model: model, form: fixture.form(model) })
        if (calls) // set afterwards: initial properties would unwrap the proxy
            tab.model = Recorder.recorder(model, calls)
        waitForRendering(tab) // laid out
        return tab
    }
    function operations(calls) { return calls.filter(c => c[0] !== "toString") }

    function test_emailStep() {
        const tab = makeTab("email-step")
        const send = findChild(tab, "sendButton")
        const field = findChild(tab, "emailField")
        verify(!send.buttonEnabled) // empty address
        field.forceActiveFocus()
        field.text = "  a@b.co"
        field.textEdited()
        compare(tab.model.loginEmail, "  a@b.co")
        verify(send.buttonEnabled) // spaces around are trimmed for the check
        mouseClick(findChild(tab, "consentBox"))
        verify(!send.buttonEnabled) // consent gates the button…
        tab.model.authErrorMessage = "old"
        keyClick(Qt.Key_Backspace)
        compare(tab.model.authErrorMessage, null) // …editing clears the error
        tab.model.loginEmail = "not-an-address"
        field.forceActiveFocus()
        keyClick(Qt.Key_Return) // …but Return sends regardless, and the address is checked
        compare(tab.model.authErrorMessage, "Enter a valid email address")
        compare(tab.model.loginStage, AppState.Email)
    }

    function test_codeStep() {
        const tab = makeTab("code-step")
        verify(!findChild(tab, "verifyButton").buttonEnabled) // four digits
        // Return verifies whatever the number of digits.
        mouseClick(findChild(tab, "codeField"))
        compare(tab.model.authErrorMessage, null)
        keyClick(Qt.Key_Return)
        // Verify ran with four digits: nothing answers at this address, so it fails.
        tryVerify(() => tab.model.authErrorMessage !== null, 5000)
        compare(tab.model.loginIsLoading, false)

        mouseClick(findChild(tab, "changeEmailLink"))
        compare(tab.model.loginStage, AppState.Email)
        compare(tab.model.loginCode, "")
        compare(tab.model.authErrorMessage, null)
        tryVerify(() => findChild(tab, "emailField").activeFocus) // back where the address is typed
    }

    function test_countdownEndsInResend() {
        const tab = makeTab("code-step")
        const resend = findChild(tab, "resendLink")
        tab.model.otpCooldownEndsAt = new Date(Date.now() + 1500)
        compare(resend.text, "Resend in 2s")
        verify(!resend.enabled)
        Localization.languageCode = "de" // relabels at once, not on the next tick
        compare(resend.text, "Erneut in 2 s")
        Localization.languageCode = "en"
        tryCompare(resend, "text", "Resend code", 3000)
        verify(resend.enabled)
    }

    function test_sixDigitsSubmitByThemselves() {
        const tab = makeTab("code-step")
        tab.model.loginCode = ""
        mouseClick(findChild(tab, "codeField"))
        for (const key of [Qt.Key_1, Qt.Key_2, Qt.Key_Space, Qt.Key_3, Qt.Key_4, Qt.Key_Minus, Qt.Key_5])
            keyClick(key)
        compare(tab.model.loginCode, "12345")
        wait(100)
        compare(tab.model.authErrorMessage, null) // five digits: nothing sent
        keyClick(Qt.Key_6)
        compare(tab.model.loginCode, "123456")
        tryVerify(() => tab.model.authErrorMessage !== null, 5000) // sent, and refused here
    }

    function test_accountScreen() {
        let tab = makeTab("account-active")
        compare(findChild(tab, "statusWord").color, Theme.green)
        verify(!findChild(tab, "activateButton").visible)
        compare(findChild(tab, "devicesHeader").text, "Devices (3/5)")
        compare(findChild(tab, "expiry").text, "Mar 14, 2026")
        const rows = [0, 1].map(i => findChild(tab, "device_" + i)) // this device first
        mouseClick(findChild(rows[0], "trashButton"))
        const confirm = fixture.find(tab, "deviceConfirm")
        compare(confirm.question, "Sign out this device? The VPN will disconnect and you'll need to sign in again.")
        confirm.close()
        mouseClick(findChild(rows[1], "trashButton"))
        compare(confirm.question, "Sign out device “Office iMac — macOS 14.5”? Its keys will stop working.")
        confirm.close()

        tab = makeTab("account-expired")
        compare(findChild(tab, "statusWord").color, Theme.orange)
        verify(findChild(tab, "activateButton").visible)
    }

    // Each confirmation runs its operation on the model only from the destructive button.
    function test_confirmations_data() {
        return [{ tag: "device", open: "device_1/trashButton", dialog: "deviceConfirm",
                  call: ["revokeDeviceLater", "A1B2C3D4-0000-4000-8000-000000000001"] },
                { tag: "sign out", open: "signOutButton", dialog: "signOutConfirm", call: ["signOut"] }]
    }
    function test_confirmations(data) {
        const calls = []
        const tab = makeTab("account-active", calls)
        const opener = data.open.split("/").reduce((item, name) => findChild(item, name), tab)
        const dialog = fixture.find(tab, data.dialog)
        for (const button of ["cancel", "destructive"]) {
            calls.length = 0
            mouseClick(opener)
            tryVerify(() => dialog.opened)
            mouseClick(findChild(dialog.footer, button))
            tryVerify(() => !dialog.visible)
            compare(operations(calls), button === "cancel" ? [] : [data.call])
        }
    }

    // A 64-character address and 48-character device names elide in the middle; the whole
    // text shows on hover and is what screen readers read.
    function test_longTextsElideInTheMiddle_data() {
        return [
            { tag: "e-mail", state: "account-long-email", path: "email",
              text: "konstantina.papadopoulou-vasilakis.research@mail.example-uni.org" },
            { tag: "device", state: "account-five-devices", path: "device_1/deviceName",
              text: "Konstantina's MacBook Pro 14-inch — macOS 15.1.1" },
            { tag: "chooser", state: "chooser-long-names", path: "chooserRow_1/deviceName",
              text: "Konstantina's MacBook Pro 14-inch — macOS 14.7.2" },
        ]
    }
    function test_longTextsElideInTheMiddle(data) {
        const tab = makeTab(data.state)
        const label = data.path.split("/").reduce((item, name) => findChild(item, name), tab)
        compare(label.text, data.text)
        verify(label.truncated)
        compare(label.elide, Text.ElideMiddle)
        compare(label.Accessible.name, data.text)
        const tip = findChild(label, "fullText")
        mouseMove(label, label.width / 2, label.height / 2)
        tryVerify(() => tip.visible)
        compare(tip.text, data.text)
        mouseMove(tab, 1, 1)
    }

    // The account's rows say "Platform: " and the platform capitalized, with the tag for
    // this device; the chooser's rows give the platform as the service sent it, closer
    // under the name. Neither runs into its button.
    function test_rowPresentations_data() {
        return [
            { tag: "account", state: "account-active", row: "device_0", platform: "Platform: Linux-X86_64", gap: 4, tagged: true },
            { tag: "chooser", state: "chooser", row: "chooserRow_0", platform: "macos-arm64", gap: 2, tagged: false },
        ]
    }
    function test_rowPresentations(data) {
        const row = findChild(makeTab(data.state), data.row)
        const name = findChild(row, "deviceName")
        const platform = findChild(row, "platform")
        compare(platform.text, data.platform)
        compare(platform.mapToItem(row, 0, 0).y - name.mapToItem(row, 0, name.height).y, data.gap)
        compare(findChild(row, "thisDeviceTag").visible, data.tagged)
        const button = row.trailing[0]
        verify(name.mapToItem(row, name.width, 0).x <= button.mapToItem(row, 0, 0).x)
    }
}
}
