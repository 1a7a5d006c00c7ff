import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI

// The root view: the tab bar writes the model, the highlight springs or jumps, every page
// keeps clear of the bar, nothing moves while the window is minimised.
Item {
    width: 380; height: 520
    // TestCase itself is invisible; the views under test live on this stage.
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
    name: "RootView"
    when: windowShown
    function cleanup() { fixture.releaseClock() }

    Component { id: rootComponent; RootView {} }

    function makeRoot(state) {
        const model = fixture.model(state)
        return createTemporaryObject(rootComponent, stage, { model: model, form: fixture.form(model) })
    }
    function rect(item, within) { return item.mapToItem(within, 0, 0, item.width, item.height) }

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
}
}
