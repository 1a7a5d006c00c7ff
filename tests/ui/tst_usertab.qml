import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI

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

    function makeTab(state) {
        const model = fixture.model(state)
        return createTemporaryObject(tabComponent, stage, { model: model, form: fixture.form(model) })
    }

    function test_screenChoice() {
        compare(makeTab("email-step").screen, 2)
        compare(makeTab("account-active").screen, 1)
        const chooser = makeTab("chooser")
        compare(chooser.screen, 0)
        compare(findChild(chooser, "limitTitle").text, "Device limit reached (5)")
        mouseClick(findChild(chooser, "chooserCancel"))
        compare(chooser.model.pendingDeviceLimit, null)
        compare(chooser.screen, 2)
    }

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
        const rows = [0, 1, 2].map(i => findChild(tab, "device_" + i))
        compare(findChild(tab, "device_3"), null)
        verify(rows[0].isThisDevice) // this device first though the service sent it last
        compare(rows[1].device.deviceName, "Office iMac — macOS 14.5")

        mouseClick(findChild(rows[0], "trashButton"))
        const confirm = findChild(tab, "deviceConfirm")
        compare(confirm.question, "Sign out this device? The VPN will disconnect and you'll need to sign in again.")
        confirm.close()
        mouseClick(findChild(rows[1], "trashButton"))
        compare(confirm.question, "Sign out device “Office iMac — macOS 14.5”? Its keys will stop working.")
        confirm.close()

        tab = makeTab("account-expired")
        compare(findChild(tab, "statusWord").color, Theme.orange)
        verify(findChild(tab, "activateButton").visible)
        Localization.languageCode = "de"
        compare(findChild(tab, "expiry").text, "02.11.2026")
        Localization.languageCode = "en"
    }
}
}
