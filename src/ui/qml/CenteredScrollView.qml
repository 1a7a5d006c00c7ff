import QtQuick

// A vertical scroll area; the content keeps its own width. Its height counts from the top
// of the area, so a content placed below the top (the pages' 20-point inset) keeps its
// bottom padding reachable. Pages end it above the tab bar, so what they show at rest is
// never under the bar. A slim indicator says that the content scrolls, and a control that
// takes the keyboard focus is scrolled into view.
Flickable {
    id: scroll
    default property alias content: holder.data
    // Room kept around a focused control brought into view (its ring included).
    property real focusMargin: 12
    readonly property bool scrolls: contentHeight > height + 0.5

    contentWidth: width
    contentHeight: holder.childrenRect.y + holder.childrenRect.height
    flickableDirection: Flickable.VerticalFlick
    boundsBehavior: Flickable.StopAtBounds
    interactive: scrolls
    clip: true

    // Scrolls as little as needed to show `item` whole, if it lies in this area.
    function reveal(item) {
        let ancestor = item
        while (ancestor && ancestor !== contentItem)
            ancestor = ancestor.parent
        if (!ancestor || !scrolls)
            return
        const r = item.mapToItem(contentItem, 0, 0, item.width, item.height)
        const top = r.y - focusMargin
        const bottom = r.y + r.height + focusMargin
        if (top < contentY)
            contentY = Math.max(0, top)
        else if (bottom > contentY + height)
            contentY = Math.min(contentHeight - height, bottom - height)
    }
    Connections {
        target: scroll.Window.window
        function onActiveFocusItemChanged() {
            if (scroll.Window.activeFocusItem)
                scroll.reveal(scroll.Window.activeFocusItem)
        }
    }

    Item {
        id: holder
        width: scroll.width
        height: childrenRect.y + childrenRect.height
    }

    Rectangle {
        objectName: "scrollIndicator"
        parent: scroll
        visible: scroll.scrolls
        width: 3
        radius: 1.5
        x: scroll.width - width - 3
        height: Math.max(24, scroll.height * scroll.visibleArea.heightRatio)
        y: Math.min(scroll.height - height, scroll.height * scroll.visibleArea.yPosition)
        color: Theme.primary
        opacity: scroll.moving ? 0.8 : 0.55
    }
}
