import QtQuick
import QtQuick.Controls.Basic

// A single-line field with centred text for the one-time code. Every keystroke goes to
// the owner through `edited`; the owner may rewrite the value, which comes back through
// `text` without disturbing the caret when nothing changed.
TextField {
    id: field
    property bool isFocused: false
    signal edited(string text)
    signal submitted()

    horizontalAlignment: TextInput.AlignHCenter
    font.pixelSize: Theme.bodySize
    color: Theme.primary
    placeholderTextColor: Theme.secondary
    selectByMouse: true
    inputMethodHints: Qt.ImhDigitsOnly
    background: Rectangle {
        radius: 5
        color: Qt.rgba(1, 1, 1, 0.07)
        border.width: 1
        border.color: field.activeFocus ? Theme.accent : Qt.rgba(1, 1, 1, 0.18)
    }
    onTextEdited: field.edited(text)
    onAccepted: field.submitted()
    onIsFocusedChanged: if (isFocused && !activeFocus) Qt.callLater(field.forceActiveFocus)
}
