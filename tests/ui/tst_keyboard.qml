import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI
import "recorder.js" as Recorder

// The window from the keyboard: Tab reaches every control in reading order, Space and
// Return run it as a click would, confirmations default to Cancel.
Item {
    width: 380; height: 520
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
    name: "Keyboard"
    when: windowShown
    function cleanup() { Localization.languageCode = "en" }

    Component { id: rootComponent; RootView {} }

    function makeRoot(state, calls) {
        const model = fixture.model(state)
        const root = createTemporaryObject(rootComponent, stage, { model: model, form: fixture.form(model) })
        if (calls) // set afterwards: initial properties would unwrap the proxy
            root.model = Recorder.recorder(model, calls)
        root.forceActiveFocus()
        return root
    }
    function focusedName(root) { return root.Window.activeFocusItem ? root.Window.activeFocusItem.objectName : "" }
    function tabOrder(root, count) {
        const names = []
        for (let i = 0; i < count; ++i) {
            keyClick(Qt.Key_Tab)
            names.push(focusedName(root))
        }
        return names
    }

    function test_tabOrder_data() {
        return [
            { tag: "vpn", state: "signed-in",
              order: ["powerButton", "chip_de", "chip_ru", "tab_tabVPN", "tab_tabAccount", "tab_tabAbout"] },
            { tag: "approval", state: "approval",
              order: ["openSettings", "powerButton", "chip_de", "chip_ru", "tab_tabVPN"] },
            { tag: "sign in, Get code disabled", state: "email-step",
              order: ["emailField", "consentBox", "termsLink", "privacyLink", "tab_tabVPN"] },
            { tag: "code step, four digits, cooling down", state: "code-step",
              order: ["codeField", "changeEmailLink", "tab_tabVPN"] },
            { tag: "account", state: "account-active",
              order: ["trashButton", "trashButton", "trashButton", "signOutButton", "tab_tabVPN"] },
            { tag: "chooser", state: "chooser",
              order: ["replace_B0000000-0000-4000-8000-000000000000", "replace_B0000001-0000-4000-8000-000000000000"] },
        ]
    }
    function test_tabOrder(data) {
        const root = makeRoot(data.state)
        compare(tabOrder(root, data.order.length), data.order)
    }

    // Each control run from the keyboard does what its click does.
    function test_activation_data() {
        return [
            { tag: "power button", state: "signed-out", item: "powerButton", key: Qt.Key_Space,
              done: root => root.model.selectedRootTab === AppState.User },
            { tag: "region chip", state: "signed-in", item: "chip_ru", key: Qt.Key_Space,
              done: root => root.model.selectedRegion === AppState.Ru },
            { tag: "tab button", state: "signed-in", item: "tab_tabAbout", key: Qt.Key_Return,
              done: root => root.model.selectedRootTab === AppState.About },
            { tag: "approval", state: "approval", item: "openSettings", key: Qt.Key_Return,
              call: ["approveSystemExtension"] },
            { tag: "consent box", state: "email-step", item: "consentBox", key: Qt.Key_Space,
              done: root => !findChild(root, "consentBox").checked },
            { tag: "trash", state: "account-active", item: "trashButton", key: Qt.Key_Space,
              done: root => fixture.find(root, "deviceConfirm").opened },
            { tag: "sign out", state: "account-active", item: "signOutButton", key: Qt.Key_Return,
              done: root => fixture.find(root, "signOutConfirm").opened },
            { tag: "replace", state: "chooser", item: "replace_B0000003-0000-4000-8000-000000000000",
              key: Qt.Key_Space, call: ["replaceDeviceLater", "B0000003-0000-4000-8000-000000000000"] },
            { tag: "chooser cancel", state: "chooser", item: "chooserCancel", key: Qt.Key_Return,
              done: root => root.model.pendingDeviceLimit === null },
        ]
    }
    function test_activation(data) {
        const calls = []
        const root = makeRoot(data.state, calls)
        const item = findChild(root, data.item)
        item.forceActiveFocus(Qt.TabFocusReason)
        verify(item.activeFocus)
        verify(findChild(item, "focusRing").visible || item.objectName === "powerButton")
        keyClick(data.key)
        if (data.call)
            compare(calls.filter(c => c[0] === data.call[0]), [data.call])
        else
            tryVerify(() => data.done(root))
    }

    // Whatever Tab reaches has a name a screen reader can say, in the current language.
    function test_everyStopHasAName_data() {
        return ["signed-in", "approval", "email-step", "code-step", "account-active", "chooser"]
            .map(state => ({ tag: state, state: state }))
    }
    function test_everyStopHasAName(data) {
        const root = makeRoot(data.state)
        Localization.languageCode = "de"
        const names = {}
        for (let i = 0; i < 12; ++i) {
            keyClick(Qt.Key_Tab)
            const item = root.Window.activeFocusItem
            const name = item.Accessible.name
            verify(name && name.length > 0, "no name: " + item.objectName)
            names[item.objectName] = name
        }
        compare(names["tab_tabAccount"], "Konto")
    }

    function test_confirmationKeys() {
        const root = makeRoot("account-active")
        const dialog = fixture.find(root, "signOutConfirm")
        const open = () => { findChild(root, "signOutButton").forceActiveFocus(); keyClick(Qt.Key_Return); tryVerify(() => dialog.opened) }
        open()
        compare(focusedName(root), "cancel") // Return on the default button cancels
        keyClick(Qt.Key_Return)
        tryVerify(() => !dialog.visible)
        verify(root.model.isLoggedIn)
        open()
        keyClick(Qt.Key_Escape)
        tryVerify(() => !dialog.visible)
        verify(root.model.isLoggedIn)
        open()
        keyClick(Qt.Key_Tab)
        compare(focusedName(root), "destructive")
        keyClick(Qt.Key_Space)
        tryVerify(() => !root.model.isLoggedIn)
    }
}
}
