import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI
import "recorder.js" as Recorder

// The window: the tab bar writes the model, the highlight springs or jumps, every page
// keeps clear of the bar, nothing moves while the window is minimised, and every screen
// works from the keyboard. The about tab: version fallbacks, the live language picker, its
// list and focus rings kept within their cards. The small controls: a link button enabled
// and disabled, and whether the focus ring and the secondary text can be seen on every
// surface they are drawn on.
Item {
    width: 380; height: 520
    // TestCase itself is invisible; the views under test live on this stage.
    Item { id: stage; anchors.fill: parent }
    function rect(item, within) { return item.mapToItem(within, 0, 0, item.width, item.height) }

TestCase {
    name: "RootView"
    when: windowShown
    function cleanup() {
        fixture.releaseClock()
        Localization.languageCode = "en"
    }

    Component { id: rootComponent; RootView {} }

    // `calls`, when given, records the operations the view runs on the model.
    function makeRoot(state, calls) {
        const model = fixture.model(state)
        const root = createTemporaryObject(rootComponent, stage, { model: model, form: fixture.form(model) })
        if (calls) // set afterwards: initial properties would unwrap the proxy
            root.model = Recorder.recorder(model, calls)
        root.forceActiveFocus()
        return root
    }

    function test_tabBarWritesTheModel() {
        const root = makeRoot("signed-out")
        const highlight = findChild(root, "tabHighlight")
        mouseClick(findChild(root, "tab_tabAbout"))
        compare(root.model.selectedRootTab, AppState.About)
        verify(highlight.x < 8 + 2 * (324 / 3) - 1) // sliding with the spring
        tryCompare(highlight, "x", 8 + 2 * (324 / 3))
        // A change from elsewhere jumps: the VPN tab's power button while signed out.
        mouseClick(findChild(root, "tab_tabVPN"))
        tryCompare(highlight, "x", 8)
        mouseClick(fixture.find(root, "powerButton"))
        compare(root.model.selectedRootTab, AppState.User)
        compare(highlight.x, 8 + 324 / 3)
    }

    // Each page ends above the tab bar: at rest nothing it shows lies under the bar, and
    // scrolled to its end its last item is whole above it. A page that scrolls says so.
    function test_pagesClearTheTabBar_data() {
        return [
            { tag: "expired note", state: "expired", last: "subscriptionNote" },
            { tag: "approval banner", state: "approval", last: "regionCard" },
            { tag: "long error", state: "long-error", last: "regionCard" },
            { tag: "five devices", state: "account-five-devices", last: "signOutButton" },
            { tag: "chooser", state: "chooser-long-names", last: "chooserCancel" },
            { tag: "sign-in", state: "revoked", last: "sendButton" },
            { tag: "about", state: "signed-in", tab: AppState.About, last: "link_contactSupport" },
        ]
    }
    function test_pagesClearTheTabBar(data) {
        const root = makeRoot(data.state)
        if (data.tab !== undefined)
            root.model.selectedRootTab = data.tab
        const bar = rect(findChild(root, "tabBar"), root)
        const page = fixture.find(root, "pageScroll")
        const view = rect(page, root)
        verify(view.y + view.height <= bar.y, view.y + view.height)
        compare(fixture.find(page, "scrollIndicator").visible, page.contentHeight > page.height + 0.5)
        page.contentY = Math.max(0, page.contentHeight - page.height)
        const last = rect(fixture.find(root, data.last), root)
        verify(last.y >= view.y && last.y + last.height <= view.y + view.height, JSON.stringify(last))
    }

    function test_nothingAnimatesWhileMinimised() {
        const root = makeRoot("connecting")
        const eyes = findChild(root, "eyes")
        const power = fixture.find(root, "powerButton")
        verify(root.animating && eyes.animating && power.animating)
        root.Window.window.showMinimized()
        tryVerify(() => !root.animating)
        verify(!eyes.animating && !power.animating)
        compare(power.pulse, 0)
        const glow = eyes.glowPhase
        fixture.clock().step(3000)
        compare(eyes.glowPhase, glow)
        compare(power.pulse, 0)
        fixture.releaseClock()
        root.Window.window.showNormal()
        tryVerify(() => root.animating && power.animating)
    }

    // From the keyboard: Tab reaches every control in reading order and scrolls it into
    // view, Space and Return run it as a click would, confirmations default to Cancel, the
    // focus follows the device list as it changes.
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

TestCase {
    name: "AboutTab"
    when: windowShown
    function cleanup() { Localization.languageCode = "en" }

    Component { id: aboutComponent; AboutTabView { width: 380; height: 520 } }

    function test_versionAndLanguage() {
        const about = createTemporaryObject(aboutComponent, stage)
        // The test binary has no bundle: both values fall back to the dash.
        compare(findChild(about, "version").text, "Version — (—)")
        const picker = findChild(about, "languagePicker")
        compare(picker.count, 4)
        compare(picker.textAt(1), "Русский")
        picker.activated(3)
        compare(Localization.languageCode, "de")
        compare(findChild(about, "version").text, "Version — (—)")
        picker.activated(2)
        compare(Localization.languageCode, "es")
        compare(findChild(about, "version").text, "Versión — (—)")
        Localization.languageCode = "en"
        compare(picker.currentIndex, 0)
    }

    // The open language list ends at the card's edge; a focused link's ring follows the
    // card's rounded corners inside it.
    function test_withinTheCards() {
        const about = createTemporaryObject(aboutComponent, stage)
        const picker = findChild(about, "languagePicker")
        picker.popup.open()
        tryVerify(() => picker.popup.opened)
        const list = picker.mapToItem(about, picker.popup.x, 0, picker.popup.width, 1)
        const languageCard = rect(picker.parent, about)
        verify(list.x + list.width <= languageCard.x + languageCard.width, JSON.stringify(list))
        picker.popup.close()

        for (const name of ["link_privacyPolicy", "link_contactSupport"]) {
            const link = findChild(about, name)
            link.forceActiveFocus(Qt.TabFocusReason)
            const ring = findChild(link, "focusRing")
            verify(ring.visible)
            const card = rect(link.parent.parent.parent, about)
            const r = rect(ring, about)
            const inset = Math.min(r.x - card.x, r.y - card.y, card.x + card.width - r.x - r.width,
                                   card.y + card.height - r.y - r.height)
            verify(inset >= 0 && ring.radius >= Theme.cardRadius - inset, JSON.stringify([r, card, ring.radius]))
        }
    }
}

TestCase {
    name: "Controls"
    when: windowShown

    Component { id: linkComponent; LinkButtonStyle { text: "Resend in 42s" } }
    Component { id: ringComponent; Rectangle { width: 40; height: 20; FocusRing { objectName: "ring"; visible: true } } }
    SignalSpy { id: clicked; signalName: "clicked" }

    // The window's backdrop runs between these two; cards, the bar and dialogs lie on it.
    readonly property var backdrop: [Qt.rgba(0.169, 0.145, 0.251, 1), Qt.rgba(0.051, 0.047, 0.102, 1)]
    function over(top, bottom) {
        const mix = (a, b) => a * top.a + b * (1 - top.a)
        return Qt.rgba(mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b), 1)
    }
    function luminance(c) {
        const linear = v => v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
        return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b)
    }
    function contrast(a, b) {
        const [hi, lo] = [luminance(a), luminance(b)].sort((x, y) => y - x)
        return (hi + 0.05) / (lo + 0.05)
    }
    function surfaces_data() {
        const rows = []
        for (const [i, ground] of backdrop.entries()) {
            const card = over(Theme.materialFill, ground)
            rows.push({ tag: "backdrop " + i, surface: ground },
                      { tag: "card " + i, surface: card },
                      { tag: "accent fill on card " + i, surface: Theme.accent },
                      { tag: "chip on card " + i, surface: over(Theme.accentFill, card) },
                      { tag: "dialog " + i, surface: over(Theme.popupFill, ground) })
        }
        return rows
    }

    // The ring (light over a dark hairline) stands out at 3:1 or more whatever it lies on.
    function test_focusRing_data() { return surfaces_data() }
    function test_focusRing(data) {
        const ring = findChild(createTemporaryObject(ringComponent, stage), "ring")
        const gap = ring.children[0].border.color
        verify(contrast(ring.border.color, gap) >= 3)
        const best = Math.max(contrast(ring.border.color, data.surface), contrast(over(gap, data.surface), data.surface))
        verify(best >= 3, best)
    }

    // Secondary text (captions, the resend countdown) reads at 4.5:1 on the backdrop and
    // on cards.
    function test_secondaryText_data() { return surfaces_data().filter(row => !/accent|chip/.test(row.tag)) }
    function test_secondaryText(data) {
        const ratio = contrast(over(Theme.secondary, data.surface), data.surface)
        verify(ratio >= 4.5, ratio)
    }

    function test_linkButton() {
        const link = createTemporaryObject(linkComponent, stage)
        clicked.target = link
        mouseClick(link)
        compare(clicked.count, 1)
        link.enabled = false
        mouseClick(link)
        compare(clicked.count, 1)
        // the countdown shows in the secondary colour, not the accent faded out
        compare(findChild(link, "label").color, Theme.secondary)
        compare(link.opacity, 1)
    }
}
}
