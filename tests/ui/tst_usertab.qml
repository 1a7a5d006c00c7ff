import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI
import "recorder.js" as Recorder

// The account tab: which screen shows, the sign-in form's rules, the account screen.
Item {
    width: 380; height: 520
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
    name: "UserTab"
    when: windowShown
    function cleanup() { Localization.languageCode = "en" }

    Component { id: tabComponent; UserTabView { width: 380; height: 520 } }

    // `calls`, when given, records the operations the view runs on the model.
    function makeTab(state, calls) {
        const model = fixture.model(state)
        const tab = createTemporaryObject(tabComponent, stage, { model: model, form: fixture.form(model) })
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
        compare(findChild(tab, "formTitle").text, "Code from email")
        const resend = findChild(tab, "resendLink")
        verify(!resend.enabled)
        verify(resend.text.startsWith("Resend in "))
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
