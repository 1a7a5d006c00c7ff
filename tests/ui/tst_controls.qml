import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI

// The small controls: a link button enabled and disabled, and whether the focus ring and
// the secondary text can be seen on every surface they are drawn on.
Item {
    width: 380; height: 520
    // TestCase itself is invisible; the views under test live on this stage.
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
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
