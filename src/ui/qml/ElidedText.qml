import QtQuick
import QtQuick.Controls.Basic

// A line that elides in the middle, so both ends (an address's domain, the model that
// tells two devices apart) stay in sight. The whole text shows on hover and is what
// screen readers read.
Text {
    id: label
    elide: Text.ElideMiddle
    Accessible.role: Accessible.StaticText
    Accessible.name: text

    HoverHandler { id: hover }
    ToolTip {
        objectName: "fullText"
        visible: hover.hovered && label.truncated
        delay: 400
        text: label.text
        contentItem: Text {
            text: label.text
            color: Theme.primary
            font.pixelSize: Theme.captionSize
            wrapMode: Text.WrapAnywhere
        }
        background: Rectangle {
            radius: 6
            color: Theme.popupFill
            border.width: Theme.hairline
            border.color: Theme.materialStroke
        }
    }
}
