pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Window
import Veloxa.Core

// The window's content: backdrop, the page of the selected tab, the floating tab bar.
Item {
    id: root
    required property var model
    required property var form
    width: 380
    height: 520
    // Nothing animates while the window is hidden or minimised.
    readonly property bool animating: Window.window === null
                                      || (Window.window.visible && Window.window.visibility !== Window.Minimized
                                          && Window.window.visibility !== Window.Hidden)

    function chooseTab(tab) {
        tabBar.animateNextChange = true
        root.model.selectedRootTab = tab
        tabBar.animateNextChange = false
    }

    AppBackground {
        anchors.fill: parent
        animating: root.animating
    }

    // Only the selected tab's page exists: each is made when chosen and dropped when
    // another is (a repeater of one, which keeps the outer ids in reach).
    Repeater {
        model: root.model.selectedRootTab === AppState.Vpn ? 1 : 0
        VPNTabView {
            anchors.fill: parent
            model: root.model
            animating: root.animating
            onGoToAccountTab: root.model.selectedRootTab = AppState.User
        }
    }
    Repeater {
        model: root.model.selectedRootTab === AppState.User ? 1 : 0
        UserTabView { anchors.fill: parent; model: root.model; form: root.form; animating: root.animating }
    }
    Repeater {
        model: root.model.selectedRootTab === AppState.About ? 1 : 0
        AboutTabView { anchors.fill: parent; animating: root.animating }
    }

    FloatingTabBar {
        id: tabBar
        objectName: "tabBar"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 18
        selected: root.model.selectedRootTab
        onChosen: tab => root.chooseTab(tab)
    }
}
