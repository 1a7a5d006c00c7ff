import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI

// The root view: the tab bar writes the model, the highlight springs or jumps, titles follow
// the language.
Item {
    width: 380; height: 520
    // TestCase itself is invisible; the views under test live on this stage.
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
    name: "RootView"
    when: windowShown
    function cleanup() { Localization.languageCode = "en" }

    Component { id: rootComponent; RootView {} }

    function makeRoot(state) {
        const model = fixture.model(state)
        return createTemporaryObject(rootComponent, stage, { model: model, form: fixture.form(model) })
    }

    function test_tabBarWritesTheModel() {
        const root = makeRoot("signed-in")
        const highlight = findChild(root, "tabHighlight")
        mouseClick(findChild(root, "tab_tabAbout"))
        compare(root.model.selectedRootTab, AppState.About)
        verify(highlight.x < 8 + 2 * (324 / 3) - 1) // sliding with the spring
        tryCompare(highlight, "x", 8 + 2 * (324 / 3))
        // A change from elsewhere jumps.
        root.model.selectedRootTab = AppState.Vpn
        compare(highlight.x, 8)
        mouseClick(findChild(root, "tab_tabVPN"))
        compare(root.model.selectedRootTab, AppState.Vpn)
    }

    function test_languageRelabelsTheTabs() {
        const root = makeRoot("signed-out")
        const titleOf = key => findChild(root, "tab_" + key).accessibleName // what is read out and shown
        compare(titleOf("tabAccount"), "Account")
        Localization.languageCode = "de"
        compare(titleOf("tabAccount"), "Konto")
        compare(titleOf("tabAbout"), "Info")
        compare(titleOf("tabVPN"), "VPN")
        Localization.languageCode = "ru"
        compare(titleOf("tabAbout"), "О приложении")
        Localization.languageCode = "en"
    }

    function test_nothingAnimatesWhileMinimised() {
        const root = makeRoot("connecting")
        const eyes = findChild(root, "eyes")
        const power = findChild(root, "powerButton")
        verify(root.animating && eyes.animating && power.animating)
        root.Window.window.showMinimized()
        tryVerify(() => !root.animating)
        verify(!eyes.animating && !power.animating)
        compare(power.pulse, 0)
        const glow = eyes.glowPhase
        wait(300)
        compare(eyes.glowPhase, glow)
        root.Window.window.showNormal()
        tryVerify(() => root.animating && power.animating)
    }

    function test_vpnTabLinksToTheAccountTab() {
        const root = makeRoot("signed-out")
        mouseClick(findChild(root, "powerButton"))
        compare(root.model.selectedRootTab, AppState.User)
        compare(findChild(root, "tabHighlight").x, 8 + 324 / 3) // without animation
    }
}
}
