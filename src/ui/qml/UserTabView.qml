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

    Loader {
        objectName: "screen"
        anchors.fill: parent
        sourceComponent: tab.model.accountScreen === AppState.Chooser ? chooserScreen
                       : tab.model.accountScreen === AppState.Account ? accountScreen : formScreen
    }
    Component {
        id: chooserScreen
        CenteredScrollView {
            DeviceLimitChooser { x: 20; y: 20; width: parent.width - 40; bottomPadding: 90; model: tab.model }
        }
    }
    Component {
        id: accountScreen
        AccountView { model: tab.model }
    }
    Component {
        id: formScreen
        CenteredScrollView {
            SignInFormView {
                x: 20; y: 20; width: parent.width - 40; bottomPadding: 90
                model: tab.model; form: tab.form; animating: tab.animating
            }
        }
    }
}
