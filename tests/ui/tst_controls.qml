import QtQuick
import QtTest
import Veloxa.Core
import Veloxa.UI

// The small controls: code field filtering through its owner, Return, link buttons.
Item {
    width: 380; height: 520
    // TestCase itself is invisible; the views under test live on this stage.
    Item { id: stage; anchors.fill: parent }

TestCase {
    id: test
    name: "Controls"
    when: windowShown
    function cleanup() { Localization.languageCode = "en" }

    Component {
        id: codeComponent
        CenteredCodeField {
            property var form
            property var model
            width: 120; height: 22
            text: model.loginCode
            onEdited: t => { form.editCode(t); if (text !== model.loginCode) text = model.loginCode }
        }
    }
    Component { id: linkComponent; LinkButtonStyle { text: "Resend code" } }
    SignalSpy { id: submitted; signalName: "submitted" }
    SignalSpy { id: clicked; signalName: "clicked" }

    function test_codeFieldFilterAndReturn() {
        const model = fixture.model("code-step")
        model.loginCode = ""
        const field = createTemporaryObject(codeComponent, stage, { model: model, form: fixture.form(model) })
        submitted.target = field
        field.forceActiveFocus()
        keyClick(Qt.Key_1); keyClick(Qt.Key_2); keyClick(Qt.Key_A); keyClick(Qt.Key_3)
        compare(model.loginCode, "123")
        compare(field.text, "123")
        compare(field.cursorPosition, 3)
        keyClick(Qt.Key_Return)
        compare(submitted.count, 1)
        keyClick(Qt.Key_Escape)
        compare(submitted.count, 1)
    }

    function test_linkButton() {
        const link = createTemporaryObject(linkComponent, stage)
        clicked.target = link
        compare(link.opacity, 1)
        mouseClick(link)
        compare(clicked.count, 1)
        link.enabled = false
        compare(link.opacity, 0.4)
        mouseClick(link)
        compare(clicked.count, 1)
    }
}
}
