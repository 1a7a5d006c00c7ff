import QtQuick

// A single-line field with centred text for the one-time code. Every keystroke goes to
// the owner through `edited`; the owner may rewrite the value, which comes back through
// `text` without disturbing the caret when nothing changed. No inner padding: the digits
// fill the 22-point field without being clipped.
VeloxaTextField {
    id: field
    property bool isFocused: false
    signal edited(string text)
    signal submitted()

    horizontalAlignment: TextInput.AlignHCenter
    topPadding: 0
    bottomPadding: 0
    leftPadding: 4
    rightPadding: 4
    inputMethodHints: Qt.ImhDigitsOnly
    onTextEdited: field.edited(text)
    onAccepted: field.submitted()
    onIsFocusedChanged: if (isFocused && !activeFocus) Qt.callLater(field.forceActiveFocus)
}
