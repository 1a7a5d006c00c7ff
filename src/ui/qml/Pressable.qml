import QtQuick

// What every clickable control shares: reached with Tab, run by a click, Space or Return,
// announced to screen readers by name and role, and ringed while it has the focus.
Item {
    id: control
    property string accessibleName
    property int accessibleRole: Accessible.Button
    property bool checked: false
    property real ringRadius: 6
    property bool showRing: true
    property bool ringInside: false
    readonly property bool pressed: area.pressed
    signal activated()

    activeFocusOnTab: enabled
    Accessible.role: accessibleRole
    Accessible.name: accessibleName
    Accessible.checkable: accessibleRole === Accessible.CheckBox
    Accessible.checked: checked
    Accessible.focusable: true
    Accessible.onPressAction: if (enabled) activated()
    Accessible.onToggleAction: if (enabled) activated()
    Keys.onSpacePressed: event => { event.accepted = true; activated() }
    Keys.onReturnPressed: event => { event.accepted = true; activated() }
    Keys.onEnterPressed: event => { event.accepted = true; activated() }

    FocusRing {
        objectName: control.showRing ? "focusRing" : "" // a control with its own ring names that one
        ringRadius: control.ringRadius
        inside: control.ringInside
        visible: control.activeFocus && control.showRing
        z: 10
    }
    MouseArea {
        id: area
        anchors.fill: parent
        z: 9
        enabled: control.enabled
        cursorShape: Qt.PointingHandCursor
        onClicked: control.activated()
    }
}
