import QtQuick
import Veloxa.Core

// The sign-in form: the e-mail step with consent, then the code step with the resend
// countdown. It keeps only focus and the consent box; the step lives in the model.
Column {
    id: view
    required property var model
    required property var form
    property bool animating: true
    property bool consentAgreed: true
    property bool shouldFocusCode: false
    property date now: new Date()
    readonly property int cooldown: ViewFormat.secondsUntil(model.otpCooldownEndsAt, now)
    readonly property bool codeStep: model.loginStage === AppState.Code
    readonly property url termsURL: ViewFormat.websiteURL("/terms")
    readonly property url privacyURL: ViewFormat.websiteURL("/privacy")

    spacing: 16

    // The countdown label is recomputed every second while it runs and is on screen, and
    // at once when the window shows again.
    Timer {
        interval: 1000; repeat: true
        running: view.animating && view.model.otpCooldownEndsAt !== null && view.cooldown > 0
        triggeredOnStart: true
        onTriggered: view.now = new Date()
    }
    Connections {
        target: view.form
        function onCodeRequested() { view.now = new Date(); view.shouldFocusCode = true; unfocus.restart() }
    }
    Timer { id: unfocus; interval: 400; onTriggered: view.shouldFocusCode = false }
    // Once the e-mail step is shown again.
    Timer { id: refocusEmail; interval: 0; onTriggered: emailField.forceActiveFocus() }
    Connections {
        target: view.model
        function onLoginStageChanged() { if (!view.codeStep) refocusEmail.restart() }
        function onOtpCooldownEndsAtChanged() { view.now = new Date() }
        // Typing replaces the fields' bindings; model changes are copied in by hand.
        function onLoginEmailChanged() { if (emailField.text !== view.model.loginEmail) emailField.text = view.model.loginEmail }
        function onLoginCodeChanged() { if (codeField.text !== view.model.loginCode) codeField.text = view.model.loginCode }
    }

    function sendLabel(resendWord) {
        if (model.loginIsLoading) return qsTr("Sending…")
        if (cooldown > 0) return qsTr("Resend in %1s").arg(cooldown)
        return resendWord
    }

    Item { width: 1; height: 20 }

    Column {
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 16
        Symbol { anchors.horizontalCenter: parent.horizontalCenter; name: "lock.shield"; color: Theme.accent; size: 36 }
        Text {
            objectName: "formTitle"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            anchors.horizontalCenter: parent.horizontalCenter
            text: view.codeStep ? qsTr("Code from email") : qsTr("Sign in")
            color: Theme.primary; font.pixelSize: Theme.headlineSize; font.weight: Font.DemiBold
        }
        Text {
            objectName: "revokedNotice"
            Accessible.role: Accessible.StaticText
            Accessible.ignored: !visible
            Accessible.name: text
            visible: view.model.sessionRevokedMessage !== null
            width: 300
            anchors.horizontalCenter: parent.horizontalCenter
            text: view.model.sessionRevokedMessage !== null ? view.model.sessionRevokedMessage : ""
            color: Theme.orange; font.pixelSize: Theme.captionSize
            wrapMode: Text.WordWrap; horizontalAlignment: Text.AlignHCenter
        }
    }

    GlassCard {
        anchors.horizontalCenter: parent.horizontalCenter
        width: 280 + 40
        height: card.implicitHeight + 40
        Column {
            id: card
            x: 20; y: 20
            width: 280
            spacing: 16

            // e-mail step
            VeloxaTextField {
                id: emailField
                objectName: "emailField"
                visible: !view.codeStep
                width: parent.width
                text: view.model.loginEmail
                placeholderText: "name@example.com"
                inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoPredictiveText
                onTextEdited: view.form.editEmail(text)
                onAccepted: view.form.sendCodeLater()
            }
            Row {
                visible: !view.codeStep
                width: parent.width
                spacing: 8
                Pressable {
                    objectName: "consentBox"
                    width: 15; height: 15
                    ringRadius: 4
                    accessibleRole: Accessible.CheckBox
                    accessibleName: consentText.plainText
                    checked: view.consentAgreed
                    onActivated: view.consentAgreed = !view.consentAgreed
                    Rectangle {
                        anchors.fill: parent
                        radius: 4
                        color: view.consentAgreed ? Theme.accent : "transparent"
                        border.width: 1.5
                        border.color: view.consentAgreed ? Theme.accent : Qt.rgba(Theme.secondary.r, Theme.secondary.g, Theme.secondary.b, 0.5)
                    }
                    Symbol { anchors.centerIn: parent; visible: view.consentAgreed; name: "checkmark"; color: "white"; size: 9 }
                }
                // The consent sentence word by word, its two links real controls within it:
                // reached with Tab, ringed while focused, read out as links.
                Flow {
                    id: consentText
                    objectName: "consentText"
                    readonly property string prefix: qsTr("I agree to the ")
                    readonly property string terms: qsTr("Terms of Use", "in the consent sentence")
                    readonly property string conjunction: qsTr(" and ")
                    readonly property string privacy: qsTr("Privacy Policy", "in the consent sentence")
                    readonly property string plainText: prefix + terms + conjunction + privacy
                    function words(text) { return text.split(" ").filter(word => word !== "") }
                    width: parent.width - 23
                    spacing: space.advanceWidth
                    TextMetrics { id: space; font.pixelSize: Theme.captionSize; text: " " }
                    Repeater {
                        model: consentText.words(consentText.prefix)
                        Text { required property string modelData; text: modelData; color: Theme.secondary; font.pixelSize: Theme.captionSize; Accessible.ignored: true }
                    }
                    LinkButtonStyle {
                        objectName: "termsLink"
                        text: consentText.terms
                        accessibleRole: Accessible.Link
                        onClicked: Qt.openUrlExternally(view.termsURL)
                    }
                    Repeater {
                        model: consentText.words(consentText.conjunction)
                        Text { required property string modelData; text: modelData; color: Theme.secondary; font.pixelSize: Theme.captionSize; Accessible.ignored: true }
                    }
                    LinkButtonStyle {
                        objectName: "privacyLink"
                        text: consentText.privacy
                        accessibleRole: Accessible.Link
                        onClicked: Qt.openUrlExternally(view.privacyURL)
                    }
                }
            }
            PrimaryButton {
                objectName: "sendButton"
                visible: !view.codeStep
                width: parent.width
                text: view.sendLabel(qsTr("Get code"))
                buttonEnabled: !view.model.loginIsLoading && view.cooldown === 0
                               && view.form.isValidEmail(view.model.loginEmail) && view.consentAgreed
                onClicked: view.form.sendCodeLater()
            }

            // code step
            Text {
                visible: view.codeStep
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: view.model.loginEmail
                color: Theme.secondary; font.pixelSize: Theme.captionSize
                elide: Text.ElideMiddle
            }
            CenteredCodeField {
                id: codeField
                objectName: "codeField"
                visible: view.codeStep
                anchors.horizontalCenter: parent.horizontalCenter
                width: 120; height: 22
                placeholderText: "000000"
                text: view.model.loginCode
                isFocused: view.shouldFocusCode
                onEdited: t => { view.form.editCode(t); if (codeField.text !== view.model.loginCode) codeField.text = view.model.loginCode }
                onSubmitted: view.form.verifyLater()
            }
            PrimaryButton {
                objectName: "verifyButton"
                visible: view.codeStep
                width: parent.width
                text: view.model.loginIsLoading ? qsTr("Checking…") : qsTr("Sign in", "button")
                buttonEnabled: !view.model.loginIsLoading && view.model.loginCode.length === 6
                onClicked: view.form.verifyLater()
            }
            Row {
                visible: view.codeStep
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 16
                LinkButtonStyle {
                    objectName: "resendLink"
                    text: view.sendLabel(qsTr("Resend code"))
                    enabled: !view.model.loginIsLoading && view.cooldown === 0
                    onClicked: view.form.sendCodeLater()
                }
                LinkButtonStyle {
                    objectName: "changeEmailLink"
                    text: qsTr("Change email")
                    onClicked: view.form.backToEmail()
                }
            }

            Text {
                objectName: "authError"
                Accessible.role: Accessible.AlertMessage
                Accessible.ignored: !visible
                Accessible.name: text
                visible: view.model.authErrorMessage !== null
                width: parent.width
                text: view.model.authErrorMessage !== null ? view.model.authErrorMessage : ""
                color: Theme.red; font.pixelSize: Theme.captionSize
                wrapMode: Text.WordWrap; horizontalAlignment: Text.AlignHCenter
            }
        }
    }
}
