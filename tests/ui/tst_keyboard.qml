import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI
import "recorder.js" as Recorder

// The window from the keyboard: Tab reaches every control in reading order and scrolls it
// into view, Space and Return run it as a click would, confirmations default to Cancel,
// the focus follows the device list as it changes.
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
        verify(findChild(item, "focusRing").visible)
        keyClick(data.key)
        if (data.call)
            compare(calls.filter(c => c[0] === data.call[0]), [data.call])
        else
            tryVerify(() => data.done(root))
    }

    // Tab onto a control below or above the visible part of a page scrolls it into view.
    function test_tabRevealsWhatItFocuses_data() {
        return ["account-five-devices", "approval", "long-error"]
            .map(state => ({ tag: state, state: state }))
    }
    function test_tabRevealsWhatItFocuses(data) {
        const root = makeRoot(data.state)
        const page = fixture.find(root, "pageScroll")
        const view = page.mapToItem(root, 0, 0, page.width, page.height)
        let seen = 0
        let scrolled = 0
        for (let i = 0; i < 10; ++i) {
            keyClick(Qt.Key_Tab)
            const item = root.Window.activeFocusItem
            if (item.objectName.startsWith("tab_"))
                continue
            const r = item.mapToItem(root, 0, 0, item.width, item.height)
            verify(r.y >= view.y && r.y + r.height <= view.y + view.height, item.objectName + JSON.stringify(r))
            ++seen
            scrolled = Math.max(scrolled, page.contentY)
        }
        verify(seen >= 3 && scrolled > 0)
    }

    // A refresh with the same devices leaves the keyboard where it was; when the focused
    // device goes, the keyboard moves to the row now in its place, else the one before,
    // else Sign out.
    function test_focusFollowsTheDeviceList() {
        const root = makeRoot("account-five-devices")
        const rows = [0, 1, 2, 3, 4].map(i => findChild(root, "device_" + i))
        const uuids = rows.map(row => row.deviceUuid)
        const focused = () => root.Window.activeFocusItem
        rows[2].trashButton.forceActiveFocus(Qt.TabFocusReason)
        fixture.listDevices(root.model, uuids)
        verify(focused() === rows[2].trashButton)
        fixture.listDevices(root.model, [uuids[0], uuids[1], uuids[3], uuids[4]])
        tryVerify(() => focused() === rows[3].trashButton)
        fixture.listDevices(root.model, [uuids[0], uuids[1]])
        tryVerify(() => focused() === rows[1].trashButton)
        fixture.listDevices(root.model, [])
        tryVerify(() => focused().objectName === "signOutButton")
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
