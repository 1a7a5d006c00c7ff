import QtQuick

// A vertical scroll area without visible scroll bars; the content keeps its own width.
// Its height counts from the top of the area, so a content placed below the top (the
// pages' 20-point inset) keeps its bottom padding reachable.
Flickable {
    id: scroll
    default property alias content: holder.data
    contentWidth: width
    contentHeight: holder.childrenRect.y + holder.childrenRect.height
    flickableDirection: Flickable.VerticalFlick
    boundsBehavior: Flickable.StopAtBounds
    clip: true
    Item {
        id: holder
        width: scroll.width
        height: childrenRect.y + childrenRect.height
    }
}
