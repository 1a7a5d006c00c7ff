import QtQuick

// A vertical scroll area without visible scroll bars; the content keeps its own width.
Flickable {
    id: scroll
    default property alias content: holder.data
    contentWidth: width
    contentHeight: holder.childrenRect.height
    flickableDirection: Flickable.VerticalFlick
    boundsBehavior: Flickable.StopAtBounds
    clip: true
    Item {
        id: holder
        width: scroll.width
        height: childrenRect.height
    }
}
