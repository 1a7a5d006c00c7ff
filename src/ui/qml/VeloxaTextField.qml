import QtQuick
import QtQuick.Controls.Basic

// The text field of the forms: a rounded, translucent box with the accent outline while
// it has the focus.
TextField {
    id: field
    font.pixelSize: Theme.bodySize
    color: Theme.primary
    placeholderTextColor: Theme.secondary
    selectByMouse: true
    verticalAlignment: TextInput.AlignVCenter
    Accessible.name: placeholderText
    background: Rectangle {
        radius: Theme.fieldRadius
        color: Theme.fieldFill
        border.width: field.activeFocus ? Theme.focusRingWidth : 1
        border.color: field.activeFocus ? Theme.focusRing : Theme.fieldStroke
    }
}
