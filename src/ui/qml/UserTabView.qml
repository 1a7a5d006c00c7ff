import QtQuick
import Veloxa.Core

// The account tab: the device-limit chooser, the account screen or the sign-in form,
// chosen from the model on every change. Opening the tab refreshes the account.
Item {
    id: tab
    required property var model
    required property var form
    property bool animating: true
    readonly property int screen: model.pendingDeviceLimit !== null ? 0 : model.isLoggedIn ? 1 : 2

    Component.onCompleted: if (model.isLoggedIn) model.refreshAccountFromStore()

    Loader {
        objectName: "screen"
        anchors.fill: parent
        sourceComponent: tab.screen === 0 ? chooserScreen : tab.screen === 1 ? accountScreen : formScreen
    }
    Component {
        id: chooserScreen
        CenteredScrollView {
            DeviceLimitChooser { x: 20; y: 20; width: parent.width - 40; bottomPadding: 70; model: tab.model }
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
