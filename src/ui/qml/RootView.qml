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

    Loader {
        id: page
        objectName: "page"
        anchors.fill: parent
        sourceComponent: root.model.selectedRootTab === AppState.User ? userPage
                       : root.model.selectedRootTab === AppState.About ? aboutPage : vpnPage
    }
    Component {
        id: vpnPage
        VPNTabView {
            model: root.model
            animating: root.animating
            onGoToAccountTab: root.model.selectedRootTab = AppState.User
        }
    }
    Component {
        id: userPage
        UserTabView { model: root.model; form: root.form; animating: root.animating }
    }
    Component {
        id: aboutPage
        AboutTabView { animating: root.animating }
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
