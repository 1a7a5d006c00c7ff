import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI

// The about tab: version fallbacks and the live language picker.
Item {
    width: 380; height: 520
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
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
}
}
