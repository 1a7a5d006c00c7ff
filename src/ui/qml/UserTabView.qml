pragma ComponentBehavior: Bound
import QtQuick
import Veloxa.Core

// The account tab: the device-limit chooser, the account screen or the sign-in form, as
// the model says. Opening the tab refreshes the account.
Item {
    id: tab
    required property var model
    required property var form
    property bool animating: true

    Component.onCompleted: if (model.isLoggedIn) model.refreshAccountFromStore()

    // Only the screen the model asks for exists (a repeater of one, like the tabs' pages).
    Repeater {
        model: tab.model.accountScreen === AppState.Chooser ? 1 : 0
        CenteredScrollView {
            objectName: "pageScroll"
            anchors.fill: parent
            anchors.bottomMargin: Theme.pageBottomInset
            DeviceLimitChooser { x: 20; y: 20; width: parent.width - 40; bottomPadding: 8; model: tab.model }
        }
    }
    Repeater {
        model: tab.model.accountScreen === AppState.Account ? 1 : 0
        AccountView { anchors.fill: parent; model: tab.model }
    }
    Repeater {
        model: tab.model.accountScreen === AppState.SignIn ? 1 : 0
        CenteredScrollView {
            objectName: "pageScroll"
            anchors.fill: parent
            anchors.bottomMargin: Theme.pageBottomInset
            SignInFormView {
                x: 20; y: 20; width: parent.width - 40; bottomPadding: 8
                model: tab.model; form: tab.form; animating: tab.animating
            }
        }
    }
}
