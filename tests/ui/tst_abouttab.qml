import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI

// The about tab: version fallbacks, the live language picker, and its list and focus
// rings kept within their cards.
Item {
    width: 380; height: 520
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
    name: "AboutTab"
    when: windowShown
    function cleanup() { Localization.languageCode = "en" }

    Component { id: aboutComponent; AboutTabView { width: 380; height: 520 } }
    function rect(item, within) { return item.mapToItem(within, 0, 0, item.width, item.height) }

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
}
